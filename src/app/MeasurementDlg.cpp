#include "app/MeasurementDlg.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Translation.h"
#include "resources/DialogTemplate.h"
#include "resources/StringTable.h"

namespace kestrova {

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CMeasurementDlg::CMeasurementDlg(Source source, QWidget* parent)
    : QDialog(parent, Qt::Tool), source_(std::move(source)) {
  setObjectName(QStringLiteral("MeasurementDlg"));
  setWindowTitle(Tr(res::LoadResourceString(res::kMeasurementTitleStringId)));
  setModal(false);

  table_ = new QTableWidget(0, static_cast<int>(kMeasurementColumns), this);
  QStringList headers;
  for (std::size_t c = 0; c < kMeasurementColumns; ++c) {
    headers_[c] = TrUtf8(MeasurementHeaders()[c]);
    headers << Text(headers_[c]);
  }
  table_->setHorizontalHeaderLabels(headers);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The columns are sized in FitColumns: each as wide as its widest text,
  // and together as wide as the table.
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->viewport()->installEventFilter(this);

  copy_ = new QPushButton(Tr(res::LoadResourceString(res::kCopyButtonStringId)), this);
  copy_->setAutoDefault(false);
  connect(copy_, &QPushButton::clicked, this, &CMeasurementDlg::CopyToClipboard);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addWidget(copy_, 0, Qt::AlignRight);
  resize(660, 180);

  pending_.setSingleShot(true);
  pending_.setTimerType(Qt::PreciseTimer);  // a coarse timer may fire 5 % early
  connect(&pending_, &QTimer::timeout, this, &CMeasurementDlg::UpdateNow);
}

void CMeasurementDlg::RequestUpdate() {
  if (!isVisible() || pending_.isActive()) return;
  const qint64 since = sinceUpdate_.isValid() ? sinceUpdate_.elapsed() : kMinimumUpdateMs;
  if (since >= kMinimumUpdateMs) {
    UpdateNow();
  } else {
    pending_.start(static_cast<int>(kMinimumUpdateMs - since));
  }
}

void CMeasurementDlg::UpdateNow() {
  pending_.stop();
  sinceUpdate_.start();
  ++updates_;
  const std::vector<MeasurementRow> rows = source_ ? source_() : std::vector<MeasurementRow>{};
  text_ = MeasurementTableText(rows, headers_);
  table_->setRowCount(static_cast<int>(rows.size()));
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const int row = static_cast<int>(r);
    table_->setVerticalHeaderItem(row,
                                  new QTableWidgetItem(QStringLiteral("Ch %1").arg(rows[r].channel + 1)));
    const MeasurementCells cells = FormatMeasurementCells(rows[r].values);
    for (std::size_t c = 0; c < cells.size(); ++c) {
      QTableWidgetItem* item = table_->item(row, static_cast<int>(c));
      if (item == nullptr) {
        item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(row, static_cast<int>(c), item);
      }
      item->setText(Text(cells[c]));
    }
  }
  FitColumns();
}

void CMeasurementDlg::FitColumns() {
  QHeaderView& header = *table_->horizontalHeader();
  const QAbstractItemView& view = *table_;  // where the widest text per column is public
  const int columns = table_->columnCount();
  std::vector<int> widths(static_cast<std::size_t>(columns));
  int needed = 0;
  for (int c = 0; c < columns; ++c) {
    const int width = std::max(view.sizeHintForColumn(c), header.sectionSizeHint(c));
    widths[static_cast<std::size_t>(c)] = width;
    needed += width;
  }
  // What the texts leave over is shared out, so that the columns fill the
  // table however wide the window is; a narrower window scrolls.
  const int spare = std::max(0, table_->viewport()->width() - needed);
  for (int c = 0; c < columns; ++c) {
    const int share = spare * (c + 1) / columns - spare * c / columns;
    header.resizeSection(c, widths[static_cast<std::size_t>(c)] + share);
  }
}

bool CMeasurementDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_->viewport() && event->type() == QEvent::Resize) FitColumns();
  return QDialog::eventFilter(watched, event);
}

void CMeasurementDlg::CopyToClipboard() {
  QGuiApplication::clipboard()->setText(Text(text_));
}

void CMeasurementDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  open_ = true;
  UpdateNow();
}

void CMeasurementDlg::closeEvent(QCloseEvent* event) {
  open_ = false;
  QDialog::closeEvent(event);
}

void CMeasurementDlg::done(int result) {
  open_ = false;
  QDialog::done(result);
}

void CMeasurementDlg::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    CopyToClipboard();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace kestrova
