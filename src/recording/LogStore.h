// The reading log: an ordered, compactly stored sequence of LogRecords plus a current row.
//
// Sized for logs of up to ten million live readings in a 32-bit process: records are kept in
// fixed-size chunks of columns, so appending never copies the bulk of the log and a row is found
// by index in constant time. Texts are stored so that reading a record back yields exactly the
// stored bytes; live-style readings take about 36 bytes each (see LogStore.cpp for the layout).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "common/Event.h"
#include "recording/LogRecord.h"

namespace qm {

class TReadingLog {
 public:
  // RowState of a record appended since the log was last emptied, as the data packet marks it.
  static constexpr std::uint8_t kRowInserted = 4;

  TReadingLog();
  ~TReadingLog();
  // Moving and swapping exchange the records, never the observers: those stay with the object
  // they subscribed to, which raises OnReset.
  TReadingLog(TReadingLog&& other);
  TReadingLog& operator=(TReadingLog&& other);
  TReadingLog(const TReadingLog&) = delete;
  TReadingLog& operator=(const TReadingLog&) = delete;
  void Swap(TReadingLog& other);

  // ---- observers (the grid, the report, the front ends) ----
  // One record was appended at `row` (the new last row, now also the current row).
  TMulticastEvent<std::size_t> OnAppended;
  // The log changed as a whole: cleared, replaced by a loaded packet, or a batch of appends ended.
  TMulticastEvent<> OnReset;
  // The current row moved to `row` other than by an append.
  TMulticastEvent<std::size_t> OnCurrentRowChanged;

  // Between BeginUpdate and EndUpdate (nested as pairs), appends, clears and row moves raise
  // nothing; the outermost EndUpdate raises OnReset once when anything changed. A file load uses
  // this so that a million loaded rows reset a view once.
  void BeginUpdate() { ++updating_; }
  void EndUpdate();
  // Raises EndUpdate when it goes out of scope.
  class TUpdate {
   public:
    explicit TUpdate(TReadingLog& log) : log_(log) { log_.BeginUpdate(); }
    ~TUpdate() { log_.EndUpdate(); }
    TUpdate(const TUpdate&) = delete;
    TUpdate& operator=(const TUpdate&) = delete;

   private:
    TReadingLog& log_;
  };

  std::size_t Count() const;
  bool Empty() const { return Count() == 0; }

  // The record at `row` (0-based), exactly as stored. Throws std::out_of_range past the end.
  LogRecord Record(std::size_t row) const;

  // Appends a record (texts cut to kLogTextWidth bytes); it becomes the current row.
  // Throws std::length_error when the text storage is exhausted (far beyond any real log).
  void Append(const LogRecord& record);

  // Removes every record and the change state of a loaded data packet.
  void Clear();

  // The row the grid shows as selected; nullopt while the log is empty.
  std::optional<std::size_t> CurrentRow() const;
  // Throws std::out_of_range for a row past the end.
  void SetCurrentRow(std::size_t row);

  // Data packet change state. Rows taken over from a loaded packet keep the RowState the file
  // gave them (0 for none); every row appended after that is kRowInserted.
  std::uint8_t RowState(std::size_t row) const;
  // Appends a row read from a data packet with its RowState. Only while every row so far came
  // from the packet; throws std::logic_error otherwise.
  void AppendPacketRow(const LogRecord& record, std::uint8_t rowState);

 private:
  void Changed();  // OnReset now, or once the update ends

  struct TImpl;
  std::unique_ptr<TImpl> impl_;
  int updating_ = 0;
  bool changedWhileUpdating_ = false;
};

}  // namespace qm
