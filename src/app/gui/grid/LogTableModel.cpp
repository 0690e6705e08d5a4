#include "app/gui/grid/LogTableModel.h"

#include <QMetaObject>

#include <limits>
#include <string>

#include "common/CodePage.h"
#include "recording/LogStore.h"

namespace qm::gui {

namespace {

// A Qt row number for a log row; a log never comes near the limit, the clamp only keeps the
// arithmetic defined.
int RowNumber(std::size_t row) {
  constexpr auto kMax = static_cast<std::size_t>(std::numeric_limits<int>::max());
  return static_cast<int>(row < kMax ? row : kMax);
}

QString DisplayText(const LogText& text) {
  if (!text) return QString();  // a null field shows empty
  return QString::fromStdString(MeterTextToUtf8(*text));
}

}  // namespace

TLogTableModel::TLogTableModel(qm::TReadingLog& log, QObject* parent) : QAbstractTableModel(parent), log_(log) {
  announced_ = pendingEnd_ = RowNumber(log_.Count());
  appendedToken_ = log_.OnAppended.Add([this](std::size_t row) { Appended(row); });
  resetToken_ = log_.OnReset.Add([this] { Reset(); });
  currentToken_ = log_.OnCurrentRowChanged.Add([this](std::size_t row) { Q_EMIT CurrentRowChanged(RowNumber(row)); });
}

TLogTableModel::~TLogTableModel() {
  log_.OnAppended.Remove(appendedToken_);
  log_.OnReset.Remove(resetToken_);
  log_.OnCurrentRowChanged.Remove(currentToken_);
}

int TLogTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : announced_; }

int TLogTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant TLogTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.parent().isValid() || index.row() >= announced_ || index.column() >= kColumnCount)
    return {};
  switch (role) {
    case Qt::DisplayRole:
      return Text(index.row(), index.column());
    case Qt::TextAlignmentRole:
      // An int, as item delegates read it.
      return static_cast<int>((index.column() == kValueColumn ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant TLogTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
  switch (role) {
    case Qt::DisplayRole: {
      const std::string_view title = kLogColumnTitles[static_cast<std::size_t>(section)];
      return QString::fromLatin1(title.data(), static_cast<qsizetype>(title.size()));
    }
    case Qt::TextAlignmentRole:
      return static_cast<int>((section == kValueColumn ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    default:
      return {};
  }
}

Qt::ItemFlags TLogTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void TLogTableModel::Flush() {
  if (pendingEnd_ <= announced_) return;
  beginInsertRows(QModelIndex(), announced_, pendingEnd_ - 1);
  announced_ = pendingEnd_;
  endInsertRows();
}

int TLogTableModel::CurrentRow() const {
  const auto row = log_.CurrentRow();
  if (!row || *row >= static_cast<std::size_t>(announced_)) return -1;
  return static_cast<int>(*row);
}

void TLogTableModel::SetCurrentRow(int row) {
  if (row < 0 || row >= announced_ || static_cast<std::size_t>(row) >= log_.Count()) return;
  log_.SetCurrentRow(static_cast<std::size_t>(row));
}

void TLogTableModel::Appended(std::size_t row) {
  const int end = RowNumber(row) + 1;
  if (end <= announced_) {
    // The log only grows at its end; a row the views already know means it changed unnoticed.
    Reset();
    return;
  }
  pendingEnd_ = end;
  if (flushQueued_) return;
  flushQueued_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        flushQueued_ = false;
        Flush();
      },
      Qt::QueuedConnection);
}

void TLogTableModel::Reset() {
  beginResetModel();
  announced_ = pendingEnd_ = RowNumber(log_.Count());
  cachedRow_ = -1;
  endResetModel();
}

const QString& TLogTableModel::Text(int row, int column) const {
  if (row != cachedRow_) {
    cachedRow_ = row;
    // Inside a batch the log may already hold fewer rows than announced; until its reset arrives
    // those rows show empty.
    if (static_cast<std::size_t>(row) >= log_.Count()) {
      cachedTexts_.fill(QString());
    } else {
      const LogRecord record = log_.Record(static_cast<std::size_t>(row));
      cachedTexts_[0] = QString::number(record.ANo);
      for (std::size_t field = 0; field < kLogTextFieldCount; ++field)
        cachedTexts_[field + 1] = DisplayText(record.*kLogTextFields[field]);
    }
  }
  return cachedTexts_[static_cast<std::size_t>(column)];
}

}  // namespace qm::gui
