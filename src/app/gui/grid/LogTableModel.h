// TLogTableModel: the reading log as a Qt table of nine read-only columns, for the log grid.
//
// The model holds nothing per row: every text is read from the log when asked for. The meter
// streams about 27 readings a second and a memory download faster, so appends are not announced one
// by one: they are collected and announced together from the event loop (or by Flush), one row
// insertion for all that arrived since the last. Until then rowCount stays what the views have been
// told, so a view never sees a row it was not told about.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <cstddef>

#include "common/Event.h"
#include "recording/LogRecord.h"

namespace qm {
class TReadingLog;
}

namespace qm::gui {

class TLogTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The column of the main value, shown right-aligned.
  static constexpr int kValueColumn = 3;
  static constexpr int kColumnCount = static_cast<int>(kLogFieldCount);

  // `log` must outlive the model; the model observes it from here on.
  explicit TLogTableModel(qm::TReadingLog& log, QObject* parent = nullptr);
  ~TLogTableModel() override;
  TLogTableModel(const TLogTableModel&) = delete;
  TLogTableModel& operator=(const TLogTableModel&) = delete;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  qm::TReadingLog& Log() const { return log_; }

  // Announces the appends collected so far (nothing when there are none). Runs by itself from the
  // event loop after an append; a caller that needs the rows at once may call it earlier.
  void Flush();
  bool HasPendingAppends() const { return pendingEnd_ > announced_; }

  // The log's current row, or -1 when the log has none or it is not announced yet.
  int CurrentRow() const;
  // Moves the log's current row; a row outside the announced rows is ignored.
  void SetCurrentRow(int row);

 Q_SIGNALS:
  // The log's current row was moved other than by an append (appends arrive as inserted rows).
  void CurrentRowChanged(int row);

 private:
  void Appended(std::size_t row);
  void Reset();
  const QString& Text(int row, int column) const;

  qm::TReadingLog& log_;
  TMulticastEvent<std::size_t>::TToken appendedToken_ = 0;
  TMulticastEvent<>::TToken resetToken_ = 0;
  TMulticastEvent<std::size_t>::TToken currentToken_ = 0;

  int announced_ = 0;   // the row count the views know
  int pendingEnd_ = 0;  // the row count once the collected appends are announced
  bool flushQueued_ = false;

  // The texts of the row read last: a view paints row by row, so the record is read and converted
  // once per row, not once per cell. Records never change once appended; a reset drops the row.
  mutable int cachedRow_ = -1;
  mutable std::array<QString, kLogFieldCount> cachedTexts_;
};

}  // namespace qm::gui
