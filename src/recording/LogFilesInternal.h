// Internal to the log files: the output buffer the writers fill, the input the readers take piece
// by piece, the two writers and the two streaming readers.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "recording/LogFiles.h"
#include "recording/LogStore.h"

namespace qm::logfiles {

// Collects a file's bytes. With a drain, every large piece is handed on as soon as it is complete,
// so a big log is never held twice in memory; without one, everything stays for Take().
class TOutput {
 public:
  using Drain = std::function<void(std::string_view)>;

  TOutput() = default;
  explicit TOutput(Drain drain) : drain_(std::move(drain)) { buf_.reserve(kPiece + kPiece / 8); }

  void Put(std::string_view s) {
    buf_.append(s);
    if (drain_ && buf_.size() >= kPiece) Flush();
  }
  void Put(char c) { Put(std::string_view(&c, 1)); }

  // Hands what is left to the drain.
  void Flush() {
    if (!drain_) return;
    drain_(buf_);
    buf_.clear();
  }
  std::string Take() { return std::move(buf_); }

 private:
  static constexpr std::size_t kPiece = std::size_t{1} << 20;
  Drain drain_;
  std::string buf_;
};

// A file's bytes, or a buffer's, handed out piece by piece.
class TSource {
 public:
  virtual ~TSource() = default;
  // Copies up to `max` further bytes to `to`; 0 at the end. Throws when the bytes cannot be read.
  virtual std::size_t Read(char* to, std::size_t max) = 0;
};

class TViewSource : public TSource {
 public:
  explicit TViewSource(std::string_view bytes) : rest_(bytes) {}
  std::size_t Read(char* to, std::size_t max) override;

 private:
  std::string_view rest_;
};

// The readers' window on a source: the bytes not yet consumed, grown on demand. A reader only ever
// holds what it has not finished with, so a file of any size is read in bounded memory.
class TReadBuffer {
 public:
  static constexpr std::size_t kPiece = std::size_t{1} << 20;

  explicit TReadBuffer(TSource& source) : source_(source) {}

  // The bytes read and not yet consumed. Consume() and More() invalidate it.
  std::string_view Rest() const { return std::string_view(buf_).substr(pos_); }
  // Drops `n` bytes from the front of Rest().
  void Consume(std::size_t n) { pos_ += n; }
  // Reads at least one more piece (and at least as much again as is held, so that a long item is
  // not rescanned over and over). False when the source has ended; then Ended() is true.
  bool More();
  bool Ended() const { return ended_; }
  // Drops the consumed bytes and gives their memory back.
  void Release();
  // Takes the first `n` bytes of Rest() out without copying them; the rest stays.
  std::string Take(std::size_t n);

 private:
  TSource& source_;
  std::string buf_;
  std::size_t pos_ = 0;
  bool ended_ = false;
};

void WriteTextLog(const TReadingLog& log, TOutput& out, const std::function<void(std::size_t row)>& onRow = {});
// One record's line of the text format, its line end included.
void PutTextLine(TOutput& out, const LogRecord& record);
void WriteXmlLog(const TReadingLog& log, TOutput& out, const std::function<void(std::size_t row)>& onRow = {});

// The readers, on a source. The XML reader replaces `log` only once the whole packet proved valid.
TLogParseResult ReadTextLog(TSource& source, TReadingLog& log);
TLogParseResult ReadXmlLog(TSource& source, TReadingLog& log);

}  // namespace qm::logfiles
