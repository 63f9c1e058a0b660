// The main window's life: construction, start-up in its fixed order, the
// event routing, and the three shut-down paths.
#include "app/ScopeDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>

#include "acquisition/ControlIds.h"
#include "acquisition/LabelTables.h"
#include "acquisition/NumberText.h"
#include "acquisition/SettingsControls.h"
#include "acquisition/SettingsPersistence.h"
#include "acquisition/TimeBaseTable.h"
#include "acquisition/TriggerModes.h"
#include "app/AboutDlg.h"
#include "app/KeyFilter.h"
#include "app/MeasurementDlg.h"
#include "app/ProgramIcon.h"
#include "app/ScopeDisplayWidget.h"
#include "app/Translation.h"
#include "controls/ColorPickerButton.h"
#include "controls/ColorStatic.h"
#include "display/AxisLabels.h"
#include "display/DisplayControls.h"
#include "display/DisplayGeometry.h"
#include "display/Graticule.h"
#include "output/RealSaveControls.h"
#include "resources/DialogTemplate.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "terminal/CommandDlg.h"

namespace kestrova {

namespace {

constexpr ColorRef kReadoutTextColor = Rgb(0, 128, 255);
constexpr ColorRef kLogStatusTextColor = Rgb(50, 128, 0);
constexpr int kColorBarHeight = 6;

CColorStatic& StaticOf(const WidgetControlPanel& panel, int id) {
  return *panel.ColorStatic(id);
}

QScrollBar& ScrollBarOf(const DialogControls& controls) {
  return *controls.FindAs<QScrollBar>(ctl::HistoryScroll);
}

}  // namespace

CScopeDlg::CScopeDlg(std::unique_ptr<DriverLoader> loader, Profile& profile, Prompts& prompts,
                     QWidget* parent)
    : QDialog(parent),
      profile_(profile),
      prompts_(prompts),
      controls_(DialogBuilder::Build(*this, res::MainDialogTemplate())),
      panel_(controls_),
      statusLine_(StaticOf(panel_, ctl::StatusLine)),
      triggerStatus_(StaticOf(panel_, ctl::TriggerStatus)),
      scrollBar_(ScrollBarOf(controls_)),
      loader_(std::move(loader)),
      sessionEvents_(*this),
      session_(*loader_, frames_, running_, sessionEvents_, statusLine_),
      discovery_(session_, *this),
      run_(settings_, buffer_, session_, panel_, *this, prompts_, statusLine_, triggerStatus_, scrollBar_,
           *this),
      decoder_(settings_, buffer_, running_, triggerStatus_, scrollBar_, *this) {
  setWindowIcon(ProgramIcon());

  // The display area paints the picture the window composes; mouse input
  // passes through it to the window.
  QWidget* area = controls_.Find(ctl::Display);
  area->setAttribute(Qt::WA_TransparentForMouseEvents);
  display_ = new ScopeDisplayWidget(area);
  display_->SetPainter(
      [this](qreal ratio, bool plotOnly) -> const QImage& { return ComposeDisplay(ratio, plotOnly); });
  display_->SetPlotArea(QRect(kPlotLeft, kPlotTop, kPlotWidth, kPlotHeight));
  display_->SetAfterPaint([this] { AfterDisplayPaint(); });

  ConnectHandlers();
  qApp->installEventFilter(this);
  OnInitDialog();
}

CScopeDlg::~CScopeDlg() {
  qApp->removeEventFilter(this);
  EndOpening();
  // Destruction: park and close the unit, then save every setting once.
  ShutDownUnit();
  SaveSettingsOnce();
}

void CScopeDlg::SaveSettingsOnce() {
  if (settingsSaved_) return;
  // What a review took from its file is not the user's to keep.
  LeaveReview();
  settingsSaved_ = true;
  SaveSettings(profile_, settings_, session_.SerialNumber(), panel_, *this);
  SaveMeasurementWindow();
}

void CScopeDlg::OnInitDialog() {
  // The about item lives in the window's context menu (the desktop owns the
  // system menu here); OnSysCommand serves it.
  std::string serial;
  LoadSettings(profile_, settings_, serial, panel_);
  session_.SetSerialNumber(serial);
  AllocateSampleBuffer(buffer_, settings_);
  SetUpControlsFromSettings();
  BuildGraticule();
  BuildAxisLabels();
  ApplyExtendedDisplay();
  OnAxisScaleClicked();
  OnRealSaveEnable();
  discovery_.SearchDevices();
  ReadControls(settings_, panel_, *this);
  InvalidateDisplay();
}

void CScopeDlg::SetUpControlsFromSettings() {
  const int m = settings_.Mode();

  // 1. The display share: a 580 x 460 area, the scroll bar of the time base.
  QWidget* area = controls_.Find(ctl::Display);
  area->resize(kDisplayWidth, kDisplayHeight);
  display_->setGeometry(0, 0, kDisplayWidth, kDisplayHeight);
  ResetHistoryScroll(settings_.timeIndex, scrollBar_);

  // 2. Status line and trigger status.
  statusLine_.SetTextColor(kStatusIdleText);
  statusLine_.SetBackgroundColor(kStatusIdleBackground);
  triggerStatus_.SetTextColor(kStatusIdleText);
  triggerStatus_.SetBackgroundColor(kTriggerIdleBackground);

  // 3. The lists and their stored entries.
  std::vector<std::string_view> timeLabels;
  timeLabels.reserve(TimeBaseTable.size());
  for (const TimeBase& base : TimeBaseTable) timeLabels.push_back(base.label);
  panel_.SetListItems(ctl::TimeList, timeLabels);
  panel_.SetSelection(ctl::TimeList, settings_.timeIndex);
  panel_.SetListItems(ctl::TriggerChannelList, TriggerChannelLabels);
  panel_.SetSelection(ctl::TriggerChannelList, settings_.triggerChannel[m]);
  panel_.SetListItems(ctl::YDivList, YDivisionLabels);
  panel_.SetSelection(ctl::YDivList, settings_.yDivision);
  panel_.SetListItems(ctl::TriggerSlopeList, TriggerSlopeLabels);
  panel_.SetSelection(ctl::TriggerSlopeList, settings_.triggerEdge);

  // 4. The six colour buttons.
  for (std::size_t k = 0; k < ctl::GraphColorButton.size(); ++k) {
    CColorPickerButton* button = panel_.ColorButton(ctl::GraphColorButton[k]);
    button->SetStyle(CColorPickerButton::kStyleDropDown);
    button->SetDefaultColor(DefaultGraphColors[k]);
    button->SetColorBarHeight(kColorBarHeight);
    button->SetColor(settings_.graphColor[k]);
  }

  // 5-6. Axis and level edits; the channel rows.
  panel_.SetText(ctl::YMinEdit, settings_.yMinText[m]);
  panel_.SetText(ctl::YMaxEdit, settings_.yMaxText[m]);
  panel_.SetText(ctl::TriggerLevelEdit, settings_.triggerLevelText[m]);
  for (std::size_t c = 0; c < kChannelCount; ++c) {
    panel_.SetChecked(ctl::ChannelEnable[c], settings_.channelEnable[m][c] != 0);
    panel_.SetText(ctl::ScaleEdit[c], settings_.scaleText[m][c]);
    panel_.SetText(ctl::OffsetEdit[c], settings_.offsetText[m][c]);
    panel_.SetChecked(ctl::UnsignedCheck[c], settings_.unsignedSamples[m][c] != 0);
    for (const int id : {ctl::ValueReadout[c], ctl::OffsetReadout[c], ctl::ScaledReadout[c]}) {
      panel_.ColorStatic(id)->SetTextColor(kReadoutTextColor);
    }
  }

  // 7-8. Trigger and mode radios.
  const TriggerMode trigger = TriggerModeOf(settings_);
  panel_.SetChecked(ctl::AutoRadio, trigger == TriggerMode::Auto);
  panel_.SetChecked(ctl::NormalRadio, trigger == TriggerMode::Normal);
  panel_.SetChecked(ctl::SingleRadio, trigger == TriggerMode::Single);
  panel_.SetChecked(ctl::ModeRadio[static_cast<std::size_t>(m)], true);

  // 9-12. Display options and the option boxes.
  panel_.SetChecked(ctl::ExtendedDisplay, settings_.extendedDisplay != 0);
  panel_.SetText(ctl::AxisScaleEdit, "1");
  panel_.SetChecked(ctl::AxisScaleCheck, settings_.axisScaleEnable[m] != 0);
  panel_.SetText(ctl::AxisScaleEdit, FormatGeneral(settings_.axisScaleFactor[m]));
  panel_.SetChecked(ctl::ShowCursor, settings_.cursorEnable != 0);
  panel_.SetChecked(ctl::ColorReverse, settings_.colorReverse != 0);
  for (std::size_t b = 0; b < ctl::OptionCheck.size(); ++b) {
    panel_.SetChecked(ctl::OptionCheck[b], settings_.optionBits[m][b] != 0);
    panel_.SetText(ctl::OptionCheck[b], OptionLabel(m, static_cast<int>(b)));
  }

  // 13. Real-time logging.
  std::vector<std::string_view> intervals;
  intervals.reserve(RealSaveIntervalTable.size());
  for (const RealSaveInterval& interval : RealSaveIntervalTable) intervals.push_back(interval.label);
  panel_.SetListItems(ctl::RealSaveInterval, intervals);
  ShowRealSaveSettings(panel_, settings_);
  CColorStatic* logStatus = panel_.ColorStatic(ctl::RealSaveStatus);
  logStatus->SetTextColor(kLogStatusTextColor);
  logStatus->setText(QString());

  // 14. Stopped.
  panel_.SetEnabled(ctl::Start, true);
  panel_.SetEnabled(ctl::Stop, false);
  panel_.SetEnabled(ctl::Apply, false);
}

void CScopeDlg::OnSysCommand(int command) {
  if ((command & ~0xF) == res::kAboutCommand) {
    CAboutDlg about(this);
    about.exec();
  }
}

void CScopeDlg::contextMenuEvent(QContextMenuEvent* event) {
  // The right button on the display belongs to the cursors: no menu for a
  // right click on it, nor for one whose press started there.
  if (event->reason() == QContextMenuEvent::Mouse && (rightPressOnDisplay_ || InDisplay(event->pos()))) {
    event->accept();
    return;
  }
  const auto text = [](int id) { return Tr(res::LoadResourceString(id)); };
  QMenu menu(this);
  QAction* peakDetect = menu.addAction(text(res::kPeakDetectMenuStringId));
  peakDetect->setCheckable(true);
  peakDetect->setChecked(settings_.peakDetect != 0);
  QAction* measurements = menu.addAction(text(res::kMeasurementMenuStringId));
  QAction* open = menu.addAction(text(res::kOpenCaptureMenuStringId));
  open->setEnabled(!running_.Get());
  menu.addSeparator();
  QAction* about = menu.addAction(text(res::kAboutMenuStringId));
  QAction* chosen = menu.exec(event->globalPos());
  if (chosen == peakDetect) OnPeakDetect(peakDetect->isChecked());
  if (chosen == measurements) OnMeasurements();
  if (chosen == open) OnOpenCapture();
  if (chosen == about) OnSysCommand(res::kAboutCommand);
}

void CScopeDlg::ShutDownUnit() {
  session_.ParkUnit();
  session_.CloseSession();
  session_.UnloadDriver();
}

void CScopeDlg::OnExit() {
  ShutDownUnit();
  close();
}

void CScopeDlg::OnSessionEnd() {
  if (sessionEnded_) return;
  // No message box from now on: nobody may be there to answer it.
  sessionEnded_ = true;
  EndModalLoops();
  realTimeLog_.EndRealSave();
  SaveSettingsOnce();
  OnExit();
}

void CScopeDlg::EndModalLoops() {
  // Each box, dialog, palette or menu that is open runs an event loop of its
  // own, and this window's loop cannot end before those have: close every
  // one of them (whatever opened it, the terminal's included), so that the
  // program ends now instead of when someone answers them. The handlers
  // that opened them go on as after Cancel.
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window == this || !window->isVisible()) continue;
    if (window->windowType() == Qt::Popup) {
      window->close();
    } else if (auto* dialog = qobject_cast<QDialog*>(window)) {
      dialog->reject();
    }
  }
}

void CScopeDlg::closeEvent(QCloseEvent* event) {
  ShutDownUnit();
  closing_ = true;
  QDialog::closeEvent(event);
  closing_ = false;
}

void CScopeDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The outer height counts the window frame, known only once the window is
  // on screen: size the window again then.
  if (!shownOnce_) {
    shownOnce_ = true;
    ApplyExtendedDisplay();
    RestoreMeasurementWindow();
  }
}

void CScopeDlg::accept() {}

void CScopeDlg::reject() {
  if (closing_) QDialog::reject();
}

bool CScopeDlg::event(QEvent* event) {
  // The window manager frames the window some time after it is shown (and
  // may change the frame later): the outer height is kept then.
  if ((event->type() == QEvent::Move || event->type() == QEvent::Resize ||
       event->type() == QEvent::WindowActivate) &&
      FrameChangedSinceLayout()) {
    const bool handled = QDialog::event(event);
    ApplyExtendedDisplay();
    return handled;
  }
  if (event->type() == kFrameReadyEvent) {
    OnFramesReady();
    return true;
  }
  if (event->type() == kLinkLostEvent) {
    OnLinkLost();
    return true;
  }
  if (event->type() == kTerminalRxEvent) {
    // Frames are for the terminal while it runs; late ones are dropped.
    if (terminalDialog_ != nullptr)
      terminalDialog_->OnTerminalRx(static_cast<TerminalFrameEvent*>(event)->Payload());
    return true;
  }
  return QDialog::event(event);
}

std::optional<FrameOutcome> CScopeDlg::OnFrameReady() {
  if (!frames_.TakeNext(frame_)) return std::nullopt;
  const FrameOutcome outcome = decoder_.OnFrameReady(frame_.View());
  if (outcome == FrameOutcome::Rejected && running_.Get()) frames_.Losses().AddChecksumFrames(1);
  return outcome;
}

void CScopeDlg::OnFramesReady(const std::function<void(FrameOutcome)>& each) {
  while (const std::optional<FrameOutcome> outcome = OnFrameReady()) {
    if (each) each(*outcome);
    if (run_.SingleShotDone()) break;
  }
  run_.ShowLosses();
}

bool CScopeDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || redeliveringKey_) return QDialog::eventFilter(watched, event);
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != this) return QDialog::eventFilter(watched, event);

  // The window's key rules run once per press, before the control that has
  // the focus sees the key.
  auto* key = static_cast<QKeyEvent*>(event);
  const QPointer<QWidget> target(widget);
  if (!OnKey(key->key(), static_cast<int>(key->modifiers()))) return true;

  // Passed on: Qt offers a key that a control leaves unused to each of the
  // control's parents in turn, and this filter would meet the press again at
  // each of them. Deliver it here, parents included, with the rules out of
  // the way, and end the outer delivery.
  if (target != nullptr) {
    redeliveringKey_ = true;
    QCoreApplication::sendEvent(target, event);
    redeliveringKey_ = false;
  }
  event->accept();
  return true;
}

bool CScopeDlg::OnKey(int key, int modifiers) {
  const KeyDecision decision = FilterKey(key, modifiers, running_.Get());
  switch (decision.action) {
    case KeyAction::RefreshAndApply:
      ReadControls(settings_, panel_, *this);
      if (running_.Get()) run_.ApplyConfiguration();
      BuildGraticule();
      BuildAxisLabels();
      RefreshReview();
      InvalidateDisplay();
      break;
    case KeyAction::Start:
      StartRun();
      break;
    case KeyAction::OpenCapture:
      OnOpenCapture();
      break;
    case KeyAction::Stop:
      run_.OnStop();
      break;
    case KeyAction::FileSave:
      OnFileSave();
      break;
    case KeyAction::ScreenSave:
      OnScreenSave();
      break;
    case KeyAction::Measurements:
      OnMeasurements();
      break;
    case KeyAction::PeakDetect:
      OnPeakDetect(settings_.peakDetect == 0);
      break;
    case KeyAction::None:
      break;
  }
  return decision.passOn;
}

void CScopeDlg::BuildGraticule() {
  canvases_.graticule = kestrova::BuildGraticule(settings_);
}

void CScopeDlg::BuildAxisLabels() {
  canvases_.labels = kestrova::BuildAxisLabels(settings_);
}

void CScopeDlg::InvalidateDisplay() {
  display_->update();
  if (measurementDlg_ != nullptr) measurementDlg_->RequestUpdate();
}

void CScopeDlg::InvalidatePlot() {
  display_->UpdatePlot();
  if (measurementDlg_ != nullptr) measurementDlg_->RequestUpdate();
}

void CScopeDlg::FocusTimeList() {
  panel_.SetFocus(ctl::TimeList);
}

// The device bar.

void CScopeDlg::ClearDevices() {
  panel_.ClearList(ctl::DeviceList);
}

void CScopeDlg::AppendDevice(std::string_view serialNumber) {
  panel_.AddListItem(ctl::DeviceList, serialNumber);
}

void CScopeDlg::SelectDevice(int index) {
  QComboBox* list = controls_.FindAs<QComboBox>(ctl::DeviceList);
  const QSignalBlocker quiet(list);
  list->setCurrentIndex(index);
}

std::string CScopeDlg::SelectedDevice() const {
  return panel_.Text(ctl::DeviceList);
}

void CScopeDlg::SetReplyText(std::string_view text) {
  // The unit's reply as it came, or the marked text of a failed search.
  panel_.SetText(ctl::UnitReply, TrUtf8(text));
}

}  // namespace kestrova
