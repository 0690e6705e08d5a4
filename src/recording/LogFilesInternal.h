// Internal to the log files: the output buffer the writers fill, the two writers, and the XML
// reader working on a buffer it may overwrite.
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

void WriteTextLog(const TReadingLog& log, TOutput& out);
void WriteXmlLog(const TReadingLog& log, TOutput& out);

// ParseXmlLog on a buffer it parses in place (its content is lost), saving a copy of a big file.
TLogParseResult ParseXmlLogInPlace(std::string& bytes, TReadingLog& log);

}  // namespace qm::logfiles
