// The main window's control handlers: each routes to the logic of its
// concern and carries out what that logic asks of the window.
#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "acquisition/ControlIds.h"
#include "acquisition/OperationModes.h"
#include "acquisition/SettingsControls.h"
#include "acquisition/TriggerModes.h"
#include "app/ScopeDisplayWidget.h"
#include "app/ScopeDlg.h"
#include "controls/ColorPickerButton.h"
#include "display/DisplayControls.h"

namespace kestrova {

namespace {

constexpr int kSinglePauseMs = 200;

ScrollRequest ToScrollRequest(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      return ScrollRequest::LineLeft;
    case QAbstractSlider::SliderSingleStepAdd:
      return ScrollRequest::LineRight;
    case QAbstractSlider::SliderPageStepSub:
      return ScrollRequest::PageLeft;
    case QAbstractSlider::SliderPageStepAdd:
      return ScrollRequest::PageRight;
    case QAbstractSlider::SliderMove:
      return ScrollRequest::ThumbTrack;
    default:
      return ScrollRequest::Other;
  }
}

}  // namespace

void CScopeDlg::ConnectHandlers() {
  const auto onClick = [this](int id, auto handler) {
    if (auto* button = controls_.FindAs<QAbstractButton>(id))
      connect(button, &QAbstractButton::clicked, this, handler);
  };
  const auto onSelect = [this](int id, auto handler) {
    if (auto* list = controls_.FindAs<QComboBox>(id)) connect(list, &QComboBox::activated, this, handler);
  };

  onClick(ctl::Start, [this] { StartRun(); });
  onClick(ctl::Stop, [this] { run_.OnStop(); });
  onClick(ctl::Apply, [this] { run_.OnApply(); });
  onClick(ctl::Exit, [this] { OnExit(); });
  onClick(ctl::DeviceSearch, [this] { discovery_.SearchDevices(); });
  onClick(ctl::UnitCheck, [this] { discovery_.UnitCheck(); });
  onClick(ctl::FileSave, [this] { OnFileSave(); });
  onClick(ctl::ScreenSave, [this] { OnScreenSave(); });
  onClick(ctl::TerminalButton, [this] { OnOpenTerminal(); });
  onSelect(ctl::DeviceList, [this](int) { discovery_.OnDeviceSelected(); });

  onSelect(ctl::TimeList, [this](int selection) { OnTimeBaseChanged(selection); });
  onSelect(ctl::YDivList, [this](int selection) { OnYDivisionChanged(selection); });
  onClick(ctl::AxisScaleCheck, [this] { OnAxisScaleClicked(); });
  onClick(ctl::ExtendedDisplay, [this] { OnExtendedDisplayClicked(); });
  onClick(ctl::ColorReverse, [this] { OnColorReverseClicked(); });
  onClick(ctl::ShowCursor, [this] { OnShowCursorClicked(); });
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    onClick(ctl::ChannelEnable[c], [this] { OnChannelBoxClicked(); });
    onClick(ctl::UnsignedCheck[c], [this] { OnChannelBoxClicked(); });
  }
  for (const int id : ctl::GraphColorButton) onClick(id, [this] { OnColorButtonClicked(); });

  onClick(ctl::AutoRadio, [this] { OnTriggerRadio(static_cast<int>(TriggerMode::Auto)); });
  onClick(ctl::NormalRadio, [this] { OnTriggerRadio(static_cast<int>(TriggerMode::Normal)); });
  onClick(ctl::SingleRadio, [this] { OnTriggerRadio(static_cast<int>(TriggerMode::Single)); });
  onSelect(ctl::TriggerChannelList, [this](int) { OnTriggerChannelChanged(); });
  onSelect(ctl::TriggerSlopeList, [this](int) { OnTriggerEdgeChanged(); });
  if (auto* level = controls_.FindAs<QLineEdit>(ctl::TriggerLevelEdit)) {
    connect(level, &QLineEdit::textChanged, this, [this] { OnTriggerLevelChanged(); });
  }
  for (std::size_t k = 0; k < ctl::ModeRadio.size(); ++k) {
    onClick(ctl::ModeRadio[k], [this, k] { OnModeRadio(static_cast<int>(k)); });
  }
  for (std::size_t b = 0; b < ctl::OptionCheck.size(); ++b) {
    onClick(ctl::OptionCheck[b], [this, b] { OnOptionBox(static_cast<int>(b)); });
  }

  onClick(ctl::RealSaveEnable, [this] { OnRealSaveEnable(); });
  onClick(ctl::RealSaveBrowse, [this] { OnRealSaveBrowse(); });

  if (auto* bar = controls_.FindAs<QScrollBar>(ctl::HistoryScroll)) {
    connect(bar, &QAbstractSlider::actionTriggered, this, [this](int action) { OnHistoryScroll(action); });
  }

  // Enter must not reach a default button.
  for (QWidget* widget : controls_.InOrder()) {
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      button->setAutoDefault(false);
      button->setDefault(false);
    }
  }
}

void CScopeDlg::RunWindowActions(const WindowActions& actions) {
  // A mode or trigger change can change the frames per screen and the
  // mapping of values to rows.
  RefreshReview();
  if (actions.invalidateDisplay) InvalidateDisplay();
  switch (actions.run) {
    case RunStep::None:
      break;
    case RunStep::Apply:
      run_.ApplyConfiguration();
      break;
    case RunStep::Start:
      StartRun();
      break;
    case RunStep::StopPauseApply:
      run_.StopStreaming();
      std::this_thread::sleep_for(std::chrono::milliseconds(kSinglePauseMs));
      run_.ApplyConfiguration();
      break;
  }
}

void CScopeDlg::OnTimeBaseChanged(int selection) {
  if (!ReviewTimeBaseAllowed(selection)) return;
  const TimeBaseChange change = ChangeTimeBase(selection, running_.Get(), settings_, buffer_, scrollBar_);
  if (change.refresh.buildGraticule) BuildGraticule();
  if (change.refresh.buildAxisLabels) BuildAxisLabels();
  RefreshReview();
  if (change.refresh.invalidate) InvalidateDisplay();
  if (change.applyConfiguration) run_.ApplyConfiguration();
}

void CScopeDlg::OnYDivisionChanged(int selection) {
  const DisplayRefresh refresh = ChangeYDivision(selection, settings_);
  if (refresh.buildGraticule) BuildGraticule();
  if (refresh.buildAxisLabels) BuildAxisLabels();
  if (refresh.invalidate) InvalidateDisplay();
}

void CScopeDlg::OnAxisScaleClicked() {
  const DisplayRefresh refresh =
      SetAxisScale(panel_.IsChecked(ctl::AxisScaleCheck), panel_.Text(ctl::AxisScaleEdit), settings_);
  if (refresh.buildGraticule) BuildGraticule();
  if (refresh.buildAxisLabels) BuildAxisLabels();
  if (refresh.invalidate) InvalidateDisplay();
}

void CScopeDlg::OnExtendedDisplayClicked() {
  ApplyExtendedDisplay();
}

void CScopeDlg::ApplyExtendedDisplay() {
  const ExtendedDisplayLayout layout = SetExtendedDisplay(panel_.IsChecked(ctl::ExtendedDisplay), settings_);
  for (const int id : layout.panelControls) panel_.SetVisible(id, layout.panelVisible);
  // The outer height includes the window frame, which is known only once the
  // window manager has framed the window (event() applies the height again
  // then); the client area follows, its bottom edge cutting no control.
  appliedFrameHeight_ = std::max(frameGeometry().height() - geometry().height(), 0);
  std::vector<ControlRows> shown;
  shown.reserve(controls_.InOrder().size());
  for (const QWidget* control : controls_.InOrder()) {
    if (control->isHidden()) continue;
    const int top = control->mapTo(this, QPoint(0, 0)).y();
    shown.push_back(ControlRows{top, top + control->height()});
  }
  setFixedSize(width(), UncutClientHeight(layout.outerHeight - appliedFrameHeight_, shown));
}

bool CScopeDlg::FrameChangedSinceLayout() const {
  return shownOnce_ && std::max(frameGeometry().height() - geometry().height(), 0) != appliedFrameHeight_;
}

void CScopeDlg::OnColorReverseClicked() {
  const DisplayRefresh refresh = SetColorReverse(panel_.IsChecked(ctl::ColorReverse), settings_);
  if (refresh.buildGraticule) BuildGraticule();
  if (refresh.buildAxisLabels) BuildAxisLabels();
  if (refresh.invalidate) InvalidateDisplay();
}

void CScopeDlg::OnShowCursorClicked() {
  const ShowCursorChange change = SetShowCursor(panel_.IsChecked(ctl::ShowCursor), settings_);
  if (change.clearReadouts) ClearReadouts();
  if (change.refresh.invalidate) InvalidateDisplay();
}

void CScopeDlg::OnChannelBoxClicked() {
  ReadControls(settings_, panel_, *this);
  RefreshReview();
  InvalidateDisplay();
}

void CScopeDlg::OnColorButtonClicked() {
  // The colours of all six buttons become the live colour set; graphColor
  // follows at the next ReadControls.
  for (std::size_t k = 0; k < ctl::GraphColorButton.size(); ++k) {
    settings_.liveColors[k] = panel_.ButtonColor(ctl::GraphColorButton[k]);
  }
  InvalidateDisplay();
}

void CScopeDlg::OnTriggerRadio(int mode) {
  RunWindowActions(HandleTriggerRadio(static_cast<TriggerMode>(mode), running_.Get(), settings_, buffer_));
}

void CScopeDlg::OnTriggerChannelChanged() {
  RunWindowActions(HandleTriggerChannelChange(running_.Get(), settings_, panel_));
}

void CScopeDlg::OnTriggerEdgeChanged() {
  RunWindowActions(HandleTriggerEdgeChange(running_.Get()));
}

void CScopeDlg::OnTriggerLevelChanged() {
  RunWindowActions(HandleTriggerLevelChange(running_.Get(), settings_, panel_));
}

void CScopeDlg::OnModeRadio(int mode) {
  RunWindowActions(HandleModeRadio(mode, running_.Get(), settings_, panel_, *this));
}

void CScopeDlg::OnOptionBox(int box) {
  RunWindowActions(HandleOptionBox(box, running_.Get(), settings_, panel_));
}

void CScopeDlg::OnHistoryScroll(int action) {
  if (review_) {
    OnReviewScroll(action);
    return;
  }
  auto* bar = controls_.FindAs<QScrollBar>(ctl::HistoryScroll);
  // Qt has already moved the thumb to where the action points; the bar's
  // value still holds the old position.
  const int proposed = bar->sliderPosition();
  bar->setSliderPosition(bar->value());
  if (ScrollHistory(ToScrollRequest(action), proposed, settings_, running_.Get(), scrollBar_, buffer_)) {
    bar->setSliderPosition(bar->value());
    InvalidateDisplay();
  }
}

void CScopeDlg::OnReviewScroll(int action) {
  auto* bar = controls_.FindAs<QScrollBar>(ctl::HistoryScroll);
  const int proposed = bar->sliderPosition();
  bar->setSliderPosition(bar->value());
  const std::optional<int> target = ScrollTarget(ToScrollRequest(action), scrollBar_.Position(), proposed);
  if (!target) return;
  scrollBar_.SetPosition(*target);  // the bar keeps it within the file
  ShowReviewAt(scrollBar_.Position());
  scrollBar_.SetPosition(static_cast<int>(review_->Position()));
  bar->setSliderPosition(bar->value());
}

}  // namespace kestrova
