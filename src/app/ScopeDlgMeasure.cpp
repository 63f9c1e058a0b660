// The display's extras: peak detect, and the measurement window with its
// place kept in the profile.
#include <QGuiApplication>
#include <QScreen>

#include "acquisition/SettingsPersistence.h"
#include "app/MeasurementDlg.h"
#include "app/ScopeDlg.h"

namespace kestrova {

namespace {

constexpr std::string_view kMeasurementOpenKey = "Measure Window Open";
constexpr std::string_view kMeasurementLeftKey = "Measure Window X";
constexpr std::string_view kMeasurementTopKey = "Measure Window Y";
constexpr int kNoPlace = -1'000'000;

}  // namespace

void CScopeDlg::OnPeakDetect(bool on) {
  settings_.peakDetect = on ? 1 : 0;
  InvalidateDisplay();
}

void CScopeDlg::OnMeasurements() {
  if (measurementDlg_ == nullptr) {
    measurementDlg_ = new CMeasurementDlg(
        [this] { return MeasureDisplayed(settings_, buffer_, TickedChannels(), running_.Get()); }, this);
  }
  measurementDlg_->show();
  measurementDlg_->raise();
}

void CScopeDlg::RestoreMeasurementWindow() {
  if (profile_.GetInt(kSettingsSection, kMeasurementOpenKey, 0) == 0) return;
  OnMeasurements();
  // A place from another screen layout (or a damaged profile) is left to the
  // desktop: only a top-left corner on one of today's screens is taken.
  const QPoint place(profile_.GetInt(kSettingsSection, kMeasurementLeftKey, kNoPlace),
                     profile_.GetInt(kSettingsSection, kMeasurementTopKey, kNoPlace));
  if (QGuiApplication::screenAt(place) != nullptr) measurementDlg_->move(place);
}

void CScopeDlg::SaveMeasurementWindow() {
  // A window never opened leaves the profile as it is (the keys are written
  // once it has been used).
  if (measurementDlg_ == nullptr) return;
  profile_.PutInt(kSettingsSection, kMeasurementOpenKey, measurementDlg_->IsOpen() ? 1 : 0);
  profile_.PutInt(kSettingsSection, kMeasurementLeftKey, measurementDlg_->pos().x());
  profile_.PutInt(kSettingsSection, kMeasurementTopKey, measurementDlg_->pos().y());
}

}  // namespace kestrova
