#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <vector>

#include "display/MeasurementTable.h"

class QTableWidget;
class QPushButton;

namespace kestrova {

// The measurement window: a non-modal table of each ticked channel's
// minimum, maximum, peak-to-peak, mean, RMS, frequency, period and duty over
// what the display shows. It asks its source for fresh rows when told the
// display changed, at most ten times a second, and copies its table as text
// (the copy button or the copy key). User-interface thread only.
class CMeasurementDlg final : public QDialog {
  Q_OBJECT

 public:
  using Source = std::function<std::vector<MeasurementRow>()>;

  static constexpr int kMinimumUpdateMs = 100;

  CMeasurementDlg(Source source, QWidget* parent = nullptr);

  // The display changed: refresh now, or when 100 ms have passed since the
  // last refresh. Nothing happens while the window is hidden.
  void RequestUpdate();
  // Refreshes at once.
  void UpdateNow();
  // How often the table was refreshed; for tests and tools.
  [[nodiscard]] int Updates() const { return updates_; }
  // Milliseconds until the refresh RequestUpdate put off, -1 when none
  // waits; for tests.
  [[nodiscard]] int PendingUpdateMs() const { return pending_.isActive() ? pending_.remainingTime() : -1; }
  [[nodiscard]] QTableWidget& Table() const { return *table_; }
  // The table as MeasurementTableText gives it; what the copy puts on the clipboard.
  [[nodiscard]] const std::string& TableText() const { return text_; }
  void CopyToClipboard();
  // Whether the user has it open: true once shown, false once the user
  // closed it; hiding it together with the main window does not count.
  [[nodiscard]] bool IsOpen() const { return open_; }
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Sizes the columns to their texts and shares out the table's spare width.
  void FitColumns();

  Source source_;
  QTableWidget* table_ = nullptr;
  QPushButton* copy_ = nullptr;
  QTimer pending_;
  QElapsedTimer sinceUpdate_;
  std::string text_;
  // The column headers in the program's language, for the copied table too.
  MeasurementCells headers_;
  int updates_ = 0;
  bool open_ = false;
};

}  // namespace kestrova
