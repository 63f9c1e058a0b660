#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "acquisition/AcquisitionRunning.h"
#include "acquisition/FrameDecoder.h"
#include "acquisition/FrameHandoff.h"
#include "acquisition/Profile.h"
#include "acquisition/SampleBuffer.h"
#include "acquisition/ScopeSettings.h"
#include "acquisition/WindowActions.h"
#include "app/AppEvents.h"
#include "app/DialogBuilder.h"
#include "app/Prompts.h"
#include "app/RunControl.h"
#include "app/WidgetColorTextField.h"
#include "app/WidgetControlPanel.h"
#include "app/WidgetScrollBar.h"
#include "captures/CaptureReview.h"
#include "device/DeviceDiscovery.h"
#include "device/DeviceSession.h"
#include "device/DriverApi.h"
#include "display/DisplayMouse.h"
#include "display/DisplayState.h"
#include "display/PaintDisplay.h"
#include "display/SharpPicture.h"
#include "output/RealTimeLogger.h"

class QComboBox;
class QProgressDialog;
class QTimer;

namespace kestrova {

class CCommandDlg;
class CMeasurementDlg;
class ScopeDisplayWidget;

// The main window: owns the settings, the history ring, the device session
// and the display canvases, and routes every event of its controls to the
// logic of its concern. User-interface thread only (the session's receive
// thread reaches it only through posted events).
class CScopeDlg final : public QDialog,
                        private AxisLabelBuilder,
                        private FrameDecoderHooks,
                        private RunControlHost,
                        private DeviceListView {
  Q_OBJECT

 public:
  // The loader binds the driver: the vendor library or the simulated unit.
  CScopeDlg(std::unique_ptr<DriverLoader> loader, Profile& profile, Prompts& prompts,
            QWidget* parent = nullptr);
  ~CScopeDlg() override;

  // Handlers, public so that tests can drive the window as a user would.
  // Start leaves a review first: the capture on screen is dropped.
  void OnStart();
  void OnStop() { run_.OnStop(); }
  void OnApply() { run_.OnApply(); }
  void OnExit();
  // The desktop session ends or the program was told to terminate (a
  // signal): the log is closed and the settings saved at once, then the
  // window closes as EXIT closes it. At once, because the process may not
  // outlive this call.
  void OnSessionEnd();
  void OnSysCommand(int command);
  // The outcome of the frame taken from the queue; empty when none waited.
  // A frame refused for its checksum while running counts as lost.
  std::optional<FrameOutcome> OnFrameReady();
  // The frame-ready handler: takes every waiting frame in order, each into
  // the history and the log (`each` sees each outcome), so a backlog is
  // decoded at once and drawn once; then the status line shows the run's
  // losses. A Single capture's triggered frame ends the batch.
  void OnFramesReady(const std::function<void(FrameOutcome)>& each = {});
  void OnLinkLost() { run_.OnLinkLost(); }
  void OnFileSave();
  void OnScreenSave();
  // "D": runs the Custom Command dialog modally while the unit is stopped.
  void OnOpenTerminal();
  // F8 and the context menu's peak-detect item: draws the history time
  // bases with or without it.
  void OnPeakDetect(bool on);
  // F7 and the context menu: opens the measurement window, or raises it.
  void OnMeasurements();
  // Ctrl+O and the context menu, while stopped: asks for a capture file
  // (CSV or sigrok session) and opens it for review in the background; the
  // window shows it once it is open, or a message saying what is wrong.
  void OnOpenCapture();
  // The capture shown for review, else null; true while one is being opened.
  [[nodiscard]] const CaptureReview* Review() const { return review_.get(); }
  [[nodiscard]] bool OpeningCapture() const { return opening_ != nullptr; }
  // The measurement window once it has been opened, else null.
  [[nodiscard]] CMeasurementDlg* MeasurementWindow() const { return measurementDlg_; }

  [[nodiscard]] const ScopeSettings& Settings() const { return settings_; }
  [[nodiscard]] const SampleBuffer& Buffer() const { return buffer_; }
  [[nodiscard]] DeviceSession& Session() { return session_; }
  [[nodiscard]] WidgetControlPanel& Panel() { return panel_; }
  [[nodiscard]] const DisplayState& Display() const { return displayState_; }
  [[nodiscard]] bool Running() const { return running_.Get(); }
  // A copy of the display area as the last paint composed it.
  [[nodiscard]] QImage DisplayImage();

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 public slots:
  void accept() override;  // OK does nothing: Enter never closes the window
  void reject() override;  // only a close request ends the window

 private:
  // Start-up.
  void OnInitDialog();
  void SetUpControlsFromSettings();
  void ConnectHandlers();
  void ShutDownUnit();
  void EndModalLoops();
  void SaveSettingsOnce();

  // AxisLabelBuilder, RunControlHost.
  void BuildAxisLabels() override;
  void BuildGraticule() override;
  void InvalidateDisplay() override;
  void FocusTimeList() override;
  void BeginRealSave() override;
  void CreateRealSaveFile() override;
  void MarkRunStart() override;
  void EndRealSave() override;
  void OnRealSaveEnable();
  // Shows a message once the current event is handled, never inside it.
  void ShowMessageLater(std::string_view text, PromptIcon icon);
  // The same for a text already in the program's language (a reader's
  // message composed with TrUtf8).
  void ShowComposedLater(std::string message, PromptIcon icon);

  // FrameDecoderHooks.
  void InvalidatePlot() override;
  void WriteRealSaveLine() override;
  void ShowElapsedTime() override;

  // DeviceListView.
  void ClearDevices() override;
  void AppendDevice(std::string_view serialNumber) override;
  void SelectDevice(int index) override;
  [[nodiscard]] std::string SelectedDevice() const override;
  void SetReplyText(std::string_view text) override;

  // Review of a capture file.
  void StartRun();
  void OnCaptureOpened();
  void EndOpening();
  void LeaveReview();
  // Shows the window of frames from `first`, or posts the read error and
  // keeps the picture.
  void ShowReviewAt(long long first);
  // The frames per screen may have changed: the bar's range and the window
  // again.
  void RefreshReview();
  void OnReviewScroll(int action);
  // A Time list choice in review; false when the capture cannot be shown at
  // that time base (its samples are spaced otherwise), and the list is put
  // back.
  bool ReviewTimeBaseAllowed(int selection);

  // Control handlers.
  // Runs the key rules for one press; true when the key goes on to the control.
  bool OnKey(int key, int modifiers);
  void OnTimeBaseChanged(int selection);
  void OnYDivisionChanged(int selection);
  void OnAxisScaleClicked();
  void OnExtendedDisplayClicked();
  void OnColorReverseClicked();
  void OnShowCursorClicked();
  void OnChannelBoxClicked();
  void OnColorButtonClicked();
  void OnTriggerRadio(int mode);
  void OnTriggerChannelChanged();
  void OnTriggerEdgeChanged();
  void OnTriggerLevelChanged();
  void OnModeRadio(int mode);
  void OnOptionBox(int box);
  void OnHistoryScroll(int action);
  void OnRealSaveBrowse();
  void RunWindowActions(const WindowActions& actions);
  void ApplyExtendedDisplay();
  // The window frame differs from the one the height was last set for.
  [[nodiscard]] bool FrameChangedSinceLayout() const;

  // Painting.
  // The picture at device pixel ratio `ratio`; the 1x picture is composed
  // at every ratio, for the read-outs and DisplayImage.
  // With `plotOnly` (a paint of the plot alone at ratio 1) only the plot of
  // the kept picture is drawn again.
  const QImage& ComposeDisplay(qreal ratio = 1.0, bool plotOnly = false);
  void AfterDisplayPaint();
  [[nodiscard]] Box DisplayBox() const;
  [[nodiscard]] bool InDisplay(QPoint point) const;
  void ApplyMouseOutcome(const MouseOutcome& outcome);
  void ClearReadouts();
  [[nodiscard]] ChannelTicks TickedChannels() const;

  // The measurement window's place and state in the profile.
  void RestoreMeasurementWindow();
  void SaveMeasurementWindow();

  ScopeSettings settings_;
  SampleBuffer buffer_;
  AcquisitionRunning running_;
  FrameHandoff frames_;
  Profile& profile_;
  Prompts& prompts_;

  // The controls of template 102, and views of them for the logic.
  DialogControls controls_;
  WidgetControlPanel panel_;
  WidgetColorTextField statusLine_;
  WidgetColorTextField triggerStatus_;
  WidgetScrollBar scrollBar_;
  ScopeDisplayWidget* display_ = nullptr;

  std::unique_ptr<DriverLoader> loader_;
  QtSessionEvents sessionEvents_;
  DeviceSession session_;
  DeviceDiscovery discovery_;
  RunControl run_;
  FrameDecoder decoder_;
  FramePayload frame_;  // the payload being decoded
  RealTimeLogger realTimeLog_;

  DisplayCanvases canvases_;
  DisplayState displayState_;
  Canvas composed_;                            // the display area as the last paint composed it
  SharpPicture sharp_;                         // the same at a high-DPI screen's ratio
  CCommandDlg* terminalDialog_ = nullptr;      // while the terminal runs
  CMeasurementDlg* measurementDlg_ = nullptr;  // a child of the window, made when first opened
  bool singleShotPending_ = false;
  bool settingsSaved_ = false;
  bool closing_ = false;
  bool sessionEnded_ = false;  // told to end (a signal, the desktop session)
  bool shownOnce_ = false;
  int appliedFrameHeight_ = 0;        // the frame the window height was last set for
  bool redeliveringKey_ = false;      // a passed-on key is on its way to the controls
  bool rightPressOnDisplay_ = false;  // the latest right press started on the display

  std::unique_ptr<CaptureReview> review_;    // the capture on screen in review
  std::unique_ptr<BackgroundOpen> opening_;  // the file being opened
  int openingGeneration_ = 0;                // tells a late outcome from the current one
  QProgressDialog* openProgress_ = nullptr;  // while a file is opened
  QTimer* openProgressTimer_ = nullptr;
  QString liveTitle_;           // the title outside review
  ScopeSettings liveSettings_;  // the settings as they were before the review
};

}  // namespace kestrova
