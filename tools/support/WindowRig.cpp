#include "support/WindowRig.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include "acquisition/ControlIds.h"
#include "acquisition/TimeBaseTable.h"
#include "app/AppEvents.h"
#include "app/ScopeDisplayWidget.h"
#include "simulator/SimulatedDriver.h"

namespace kestrova::tools {

SimTime ScaledSteadyClock::Now() const {
  const auto elapsed = std::chrono::steady_clock::now() - start_;
  return SimTime(static_cast<SimTime::rep>(static_cast<double>(SimTime(elapsed).count()) * factor_));
}

std::chrono::nanoseconds ScaledSteadyClock::WaitFor(SimTime span) const {
  if (!(factor_ > 0)) return span;
  return std::chrono::nanoseconds(
      static_cast<std::chrono::nanoseconds::rep>(static_cast<double>(span.count()) / factor_));
}

WindowRig::WindowRig(RigOptions options) {
  SimulatedBenchOptions bench;
  bench.unitSerialNumbers = {kUnitSerial};
  bench.seed = options.seed;
  if (options.clockFactor != 1.0) bench.clock = std::make_shared<ScaledSteadyClock>(options.clockFactor);
  bench_ = std::make_shared<SimulatedBench>(std::move(bench));
  dialog_ = std::make_unique<CScopeDlg>(MakeSimulatedDriverLoader(bench_), profile_, prompts_);
  dialog_->installEventFilter(this);
  dialog_->show();
}

WindowRig::WindowRig(std::unique_ptr<DriverLoader> loader) {
  dialog_ = std::make_unique<CScopeDlg>(std::move(loader), profile_, prompts_);
  dialog_->installEventFilter(this);
  dialog_->show();
}

WindowRig::~WindowRig() {
  dialog_->removeEventFilter(this);
  dialog_.reset();
}

bool WindowRig::eventFilter(QObject* watched, QEvent* event) {
  if (watched != dialog_.get()) return QObject::eventFilter(watched, event);
  if (event->type() == kFrameReadyEvent) {
    dialog_->OnFramesReady([this](FrameOutcome outcome) {
      ++tally_.taken;
      switch (outcome) {
        case FrameOutcome::Rejected:
          ++tally_.rejected;
          break;
        case FrameOutcome::NotSampleData:
          ++tally_.notSampleData;
          break;
        case FrameOutcome::MonitorDropped:
          ++tally_.monitorDropped;
          break;
        case FrameOutcome::Stored: {
          ++tally_.stored;
          const SampleBuffer& buffer = dialog_->Buffer();
          const bool history = IsHistoryTimeBase(dialog_->Settings().timePerDivision);
          const int slot =
              history ? (buffer.writeIndex + kHistoryFrames - 1) % kHistoryFrames : buffer.writeIndex;
          if (onStored_) onStored_(slot);
          break;
        }
      }
    });
    return true;
  }
  if (event->type() == kLinkLostEvent) {
    ++tally_.linkLostReports;
    dialog_->OnLinkLost();
    if (dialog_->Session().IsOpen() && dialog_->Running()) ++tally_.linkRecovered;
    return true;
  }
  return QObject::eventFilter(watched, event);
}

UnitStatus WindowRig::Unit() const {
  if (bench_ == nullptr) return {};
  const auto status = bench_->StatusOf(kUnitSerial);
  return status && status->unit ? *status->unit : UnitStatus{};
}

std::int64_t WindowRig::FramesSent() {
  const std::int64_t now = Unit().dataFramesSent;
  if (now < sentLast_) sentBefore_ += sentLast_;  // powered up again: its count restarted
  sentLast_ = now;
  return sentBefore_ + now;
}

void WindowRig::OnPaint(std::function<void()> observer) {
  if (auto* widget = dialog_->findChild<ScopeDisplayWidget*>()) widget->SetPaintObserver(std::move(observer));
}

void WindowRig::Pump(std::chrono::milliseconds duration) {
  // An event loop that sleeps between events, as the program's own does.
  QEventLoop loop;
  QTimer::singleShot(duration, &loop, &QEventLoop::quit);
  loop.exec();
}

bool WindowRig::PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() >= limit.count()) return false;
    Pump(std::chrono::milliseconds(10));
  }
  return true;
}

void WindowRig::Click(int id) {
  if (auto* button = dialog_->Panel().Controls().FindAs<QAbstractButton>(id)) {
    if (button->isEnabled()) button->click();
  }
}

bool WindowRig::ChooseTimeBase(std::string_view text) {
  auto* list = dialog_->Panel().Controls().FindAs<QComboBox>(ctl::TimeList);
  if (list == nullptr) return false;
  const int index = list->findText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  if (index < 0) return false;
  ChooseTimeBase(index);
  return true;
}

void WindowRig::ChooseTimeBase(int index) {
  auto* list = dialog_->Panel().Controls().FindAs<QComboBox>(ctl::TimeList);
  if (list == nullptr || !list->isEnabled()) return;
  list->setCurrentIndex(index);
  emit list->activated(index);
}

void WindowRig::SetText(int id, std::string_view text) {
  dialog_->Panel().SetText(id, text);
}

}  // namespace kestrova::tools
