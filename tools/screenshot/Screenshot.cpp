// Takes the picture the README shows: the main window streaming from the
// simulated unit, with the measurement window beside it, drawn offscreen by
// the program itself and written as one PNG.
//
//   kestrova_screenshot OUTPUT.png [--time-base="2 ms"] [--cursors]
//
// Exit status 0 when the picture was written.
#include <QApplication>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <string>

#include "acquisition/ControlIds.h"
#include "app/MeasurementDlg.h"
#include "support/WindowRig.h"

namespace kt = kestrova::tools;
using namespace std::chrono_literals;

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::string output;
  std::string timeBase = "2 ms";
  bool cursors = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--time-base=", 0) == 0) {
      timeBase = arg.substr(12);
    } else if (arg == "--cursors") {
      cursors = true;
    } else if (!arg.empty() && arg[0] != '-' && output.empty()) {
      output = arg;
    } else {
      std::fprintf(stderr, "usage: kestrova_screenshot OUTPUT.png [--time-base=\"2 ms\"] [--cursors]\n");
      return 2;
    }
  }
  if (output.empty()) {
    std::fprintf(stderr, "usage: kestrova_screenshot OUTPUT.png [--time-base=\"2 ms\"] [--cursors]\n");
    return 2;
  }

  kt::WindowRig rig(kt::RigOptions{});
  kestrova::CScopeDlg& dlg = rig.Dialog();
  if (!rig.ChooseTimeBase(timeBase)) {
    std::fprintf(stderr, "unknown time base %s\n", timeBase.c_str());
    return 2;
  }
  if (cursors) rig.Click(kestrova::ctl::ShowCursor);
  dlg.OnStart();
  if (!kt::WindowRig::PumpUntil([&] { return dlg.Buffer().frameCount >= 3; }, 20s)) {
    std::fprintf(stderr, "no frames from the simulated unit\n");
    return 1;
  }
  dlg.OnMeasurements();
  kestrova::CMeasurementDlg* view = dlg.MeasurementWindow();
  view->move(dlg.frameGeometry().topRight() + QPoint(8, 0));
  kt::WindowRig::Pump(300ms);
  view->UpdateNow();

  const QImage window = dlg.grab().toImage();
  const QImage measurements = view->grab().toImage();
  const int gap = 12;
  QImage picture(window.width() + gap + measurements.width(),
                 std::max(window.height(), measurements.height()), QImage::Format_RGB32);
  picture.fill(QColor(0xE8, 0xE8, 0xE8));
  QPainter painter(&picture);
  painter.drawImage(0, 0, window);
  painter.drawImage(window.width() + gap, 0, measurements);
  painter.end();
  dlg.OnStop();
  if (!picture.save(QString::fromStdString(output), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", output.c_str());
    return 1;
  }
  std::printf("%s: %d x %d\n", output.c_str(), picture.width(), picture.height());
  return 0;
}
