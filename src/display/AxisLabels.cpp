#include "display/AxisLabels.h"

#include "acquisition/NumberText.h"
#include "display/DisplayColors.h"
#include "display/DisplayGeometry.h"

namespace kestrova {

namespace {

// Box tops and bottoms of the Y labels. With the scaled set shown, the plain
// value sits just above its division line and the scaled one just below.
struct YLabelPlacement {
  int maxTop, maxBottom;
  int minTop, minBottom;
  int innerTop, innerBottom;  // added to d x i
};
constexpr YLabelPlacement kPlainAlone{10, 30, 410, 430, 10, 30};
constexpr YLabelPlacement kPlainAboveScaled{5, 20, 405, 420, 7, 20};
constexpr YLabelPlacement kScaled{20, 33, 420, 433, 20, 33};

void DrawYLabel(Canvas& canvas, int top, int bottom, double value, ColorRef color) {
  canvas.DrawText(Box{kYLabelLeft, top, kYLabelRight, bottom}, FormatFixed(value, 1), color,
                  TextAlign::Center);
}

void DrawYLabelSet(Canvas& canvas, const YLabelPlacement& at, double yMin, double yMax, int divisions,
                   double factor, ColorRef color) {
  const int spacing = kPlotHeight / divisions;
  // The step is kept in single precision, as the labels always were.
  const auto step = static_cast<float>((yMax - yMin) / divisions);
  DrawYLabel(canvas, at.maxTop, at.maxBottom, yMax * factor, color);
  DrawYLabel(canvas, at.minTop, at.minBottom, yMin * factor, color);
  for (int i = 1; i < divisions; ++i) {
    const double value = yMax - static_cast<double>(static_cast<float>(i) * step);
    DrawYLabel(canvas, spacing * i + at.innerTop, spacing * i + at.innerBottom, value * factor, color);
  }
}

}  // namespace

TimeAxis TimeAxisFor(int timePerDivision) {
  if (timePerDivision <= 5) return {"[usec]", 100 * timePerDivision};
  if (timePerDivision < 10000) return {"[msec]", timePerDivision / 10};
  return {"[sec]", timePerDivision / 10000};
}

Canvas BuildAxisLabels(const ScopeSettings& settings) {
  const DisplayColors colors = DisplayColorsFor(settings.colorReverse != 0);
  Canvas canvas(kDisplayWidth, kDisplayHeight, colors.background);

  const TimeAxis time = TimeAxisFor(settings.timePerDivision);
  canvas.DrawText(kTimeUnitBox, time.unit, kTimeUnitTextColor, TextAlign::Center);
  for (int k = 0; k < kTimeTickCount; ++k) {
    canvas.DrawText(TimeTickBox(k), FormatInt(static_cast<long long>(k) * time.tickStep), colors.foreground,
                    TextAlign::Center);
  }

  const int m = settings.Mode();
  const double yMin = settings.yMin[m];
  const double yMax = settings.yMax[m];
  const int divisions = YDivisionAt(settings.yDivision).divisions;
  if (settings.axisScaleEnable[m] != 0) {
    DrawYLabelSet(canvas, kPlainAboveScaled, yMin, yMax, divisions, 1.0, colors.foreground);
    DrawYLabelSet(canvas, kScaled, yMin, yMax, divisions, settings.axisScaleFactor[m], kScaledLabelColor);
  } else {
    DrawYLabelSet(canvas, kPlainAlone, yMin, yMax, divisions, 1.0, colors.foreground);
  }
  return canvas;
}

}  // namespace kestrova
