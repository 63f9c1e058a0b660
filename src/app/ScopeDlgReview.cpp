// Review of a saved capture in the main window: opening the file in the
// background with a progress dialog, showing the window of frames the scroll
// bar points at, and leaving the review for a run.
#include <QFileInfo>
#include <QMetaObject>
#include <QProgressDialog>
#include <QTimer>
#include <string>

#include "acquisition/ControlIds.h"
#include "acquisition/TimeBaseTable.h"
#include "app/DataOutputCommands.h"
#include "app/ScopeDlg.h"
#include "app/Translation.h"
#include "display/HistoryWindow.h"
#include "resources/DialogTemplate.h"
#include "resources/StringTable.h"

namespace kestrova {

namespace {

constexpr int kProgressSteps = 1000;
constexpr int kProgressShowAfterMs = 300;
constexpr int kProgressPollMs = 50;

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void CScopeDlg::OnStart() {
  StartRun();
}

void CScopeDlg::StartRun() {
  LeaveReview();
  run_.OnStart();
}

void CScopeDlg::OnOpenCapture() {
  if (running_.Get() || opening_) return;
  const std::optional<std::string> path = prompts_.AskOpenFileName(
      TrUtf8(res::LoadResourceString(res::kOpenCaptureTitleStringId)), TrUtf8(kOpenCaptureQtFilter));
  if (!path || path->empty() || running_.Get() || opening_) return;

  // The outcome comes back as a posted call: the opening thread never waits
  // for this one, and an outcome that outlived its opening is ignored.
  const int generation = ++openingGeneration_;
  opening_ = std::make_unique<BackgroundOpen>(*path, [this, generation] {
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
          if (generation == openingGeneration_) OnCaptureOpened();
        },
        Qt::QueuedConnection);
  });

  // Not run modally: the window's loop goes on; the dialog only keeps the
  // user's input from the window while the file is read.
  // With the default Cancel button, which stops the opening.
  openProgress_ = new QProgressDialog(this);
  openProgress_->setLabelText(QFileInfo(FromUtf8(*path)).fileName());
  openProgress_->setRange(0, kProgressSteps);
  openProgress_->setWindowTitle(FromUtf8(kApplicationTitle));
  openProgress_->setWindowModality(Qt::WindowModal);
  openProgress_->setMinimumDuration(kProgressShowAfterMs);
  openProgress_->setAutoClose(false);
  openProgress_->setAutoReset(false);
  openProgress_->setValue(0);
  connect(openProgress_, &QProgressDialog::canceled, this, [this] {
    if (opening_) opening_->Cancel();
  });
  openProgressTimer_ = new QTimer(this);
  connect(openProgressTimer_, &QTimer::timeout, this, [this] {
    if (opening_ && openProgress_ != nullptr)
      openProgress_->setValue(static_cast<int>(opening_->Progress() * kProgressSteps));
  });
  openProgressTimer_->start(kProgressPollMs);
}

void CScopeDlg::EndOpening() {
  opening_.reset();  // cancels and joins
  if (openProgressTimer_ != nullptr) {
    openProgressTimer_->stop();
    openProgressTimer_->deleteLater();
    openProgressTimer_ = nullptr;
  }
  if (openProgress_ != nullptr) {
    openProgress_->hide();
    openProgress_->deleteLater();
    openProgress_ = nullptr;
  }
}

void CScopeDlg::OnCaptureOpened() {
  if (!opening_ || !opening_->Done()) return;
  const bool cancelled = opening_->Cancelled();
  const std::string path = opening_->Path();
  OpenedCapture opened = opening_->Take();
  EndOpening();
  if (running_.Get()) return;
  if (!opened.source) {
    // A bad file changes nothing on screen; a cancelled one says nothing.
    if (!cancelled) ShowComposedLater(opened.error.Compose(&TrUtf8), PromptIcon::Exclamation);
    return;
  }

  auto review = std::make_unique<CaptureReview>(std::move(opened.source), path);
  const ScopeSettings live = review_ ? liveSettings_ : settings_;
  ScopeSettings shown = settings_;
  review->ApplyTo(shown);
  LocalText error;
  if (!review->Show(0, FramesPerScreenFor(shown), shown, buffer_, error)) {
    ShowComposedLater(error.Compose(&TrUtf8), PromptIcon::Exclamation);
    return;
  }
  if (!review_) liveTitle_ = windowTitle();
  liveSettings_ = live;
  settings_ = shown;
  review_ = std::move(review);

  SetUpControlsFromSettings();
  scrollBar_.SetRange(0, review_->LastPosition(FramesPerScreenFor(settings_)));
  scrollBar_.SetPosition(0);
  setWindowTitle(FromUtf8(review_->FileName()) + QStringLiteral(" - ") + liveTitle_);
  BuildGraticule();
  BuildAxisLabels();
  InvalidateDisplay();

  std::string notes;
  for (const LocalText& note : review_->Info().notes)
    notes += (notes.empty() ? "" : "\n") + note.Compose(&TrUtf8);
  if (!notes.empty()) ShowComposedLater(std::move(notes), PromptIcon::Information);
}

void CScopeDlg::LeaveReview() {
  EndOpening();
  if (!review_) return;
  review_.reset();
  CaptureReview::RestoreLive(settings_, liveSettings_);
  setWindowTitle(liveTitle_);
  SetUpControlsFromSettings();
  BuildGraticule();
  BuildAxisLabels();
  InvalidateDisplay();
}

void CScopeDlg::ShowReviewAt(long long first) {
  LocalText error;
  if (!review_->Show(first, FramesPerScreenFor(settings_), settings_, buffer_, error)) {
    ShowComposedLater(error.Compose(&TrUtf8), PromptIcon::Exclamation);
    return;
  }
  InvalidateDisplay();
}

void CScopeDlg::RefreshReview() {
  if (!review_) return;
  const int n = FramesPerScreenFor(settings_);
  const long long position = review_->Position();
  scrollBar_.SetRange(0, review_->LastPosition(n));
  ShowReviewAt(position);
  scrollBar_.SetPosition(static_cast<int>(review_->Position()));
}

bool CScopeDlg::ReviewTimeBaseAllowed(int selection) {
  if (!review_) return true;
  // Only the time bases that space samples as the file does show it truly:
  // any of the history's, or the file's own single-frame one.
  if (SampleSecondsOf(TimeBaseAt(selection).perDivision) == SampleSecondsOf(review_->Info().timePerDivision))
    return true;
  panel_.SetSelection(ctl::TimeList, TimeIndexOf(settings_.timePerDivision));
  return false;
}

}  // namespace kestrova
