// The tab-separated text format of the log files.
#include <array>
#include <charconv>
#include <cstdint>
#include <functional>
#include <string>

#include "common/NumberText.h"
#include "recording/LogFiles.h"
#include "recording/LogFilesInternal.h"

namespace qm {

namespace {

constexpr std::size_t kAValueIndex = 2;  // in kLogTextFields
constexpr std::string_view kNullToken = "NULL";
constexpr std::string_view kLineEnd = "\r\n";

// The separators of the text format are the blanks (codes 1..32: blanks and control characters).
constexpr bool IsSeparator(char c) { return IsBlank(c); }

// A text that would not come back as one token (an inner blank or control character, or a
// leading double quote) is written quoted, its quotes doubled, as the reader takes quoted tokens.
// Written bare, a sub-value such as "1 2" became two tokens and its line one too many, so a saved
// log could not be read back past that record.
bool NeedsQuotes(std::string_view s) {
  if (!s.empty() && s.front() == '"') return true;
  for (char c : s)
    if (IsSeparator(c)) return true;
  return false;
}

void PutToken(logfiles::TOutput& out, std::string_view s) {
  if (!NeedsQuotes(s)) {
    out.Put(s);
    return;
  }
  out.Put('"');
  for (char c : s) {
    if (c == '"') out.Put('"');
    out.Put(c);
  }
  out.Put('"');
}

void PutField(logfiles::TOutput& out, const LogText& text, bool dropSpaces) {
  std::string_view s = text ? TrimBlanks(*text) : std::string_view{};
  if (s.empty()) {
    out.Put(kNullToken);
  } else if (dropSpaces) {
    std::string kept;
    for (char c : s)
      if (c != ' ') kept.push_back(c);
    PutToken(out, kept);
  } else {
    PutToken(out, s);
  }
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// A quoted token still open this far past its quote is taken as a stray quote (see TRecordScan).
constexpr std::size_t kMaxOpenQuote = std::size_t{1} << 20;

// Cuts one record off the front of the unread bytes. A record is a line, except that a quoted
// token left open at a line end goes on over the following lines to its closing quote, so that
// a text holding CR or LF comes back whole. When the quote never closes (the file ends first, or
// it is still open kMaxOpenQuote bytes on) the token ends at its first line end, as it always
// did; files without quotes therefore read as they always have.
class TRecordScan {
 public:
  enum class TResult : std::uint8_t { Done, NeedMore };

  // Tokens beyond kLogFieldCount are counted but not kept: one more is already a failure.
  std::array<std::string, kLogFieldCount> tokens;
  std::size_t count = 0;
  std::size_t used = 0;  // bytes of the record, its line end included

  TResult Scan(std::string_view s, bool ended) {
    count = 0;
    std::size_t i = 0;
    while (true) {
      while (i < s.size() && IsSeparator(s[i]) && !IsLineEnd(s[i])) ++i;
      if (i == s.size()) {
        if (!ended) return TResult::NeedMore;
        used = i;
        return TResult::Done;
      }
      if (IsLineEnd(s[i])) {
        if (s[i++] == '\r') {
          if (i == s.size() && !ended) return TResult::NeedMore;
          if (i < s.size() && s[i] == '\n') ++i;
        }
        used = i;
        return TResult::Done;
      }
      if (count > kLogFieldCount) {  // too many already; the rest of the record does not matter
        used = i;
        return TResult::Done;
      }
      std::string* token = count < kLogFieldCount ? &tokens[count] : nullptr;
      if (token) token->clear();
      ++count;
      if (s[i] == '"') {
        if (!Quoted(s, ended, i, token, count == 1 ? s.size() : kLogTextWidth)) return TResult::NeedMore;
      } else {
        std::size_t start = i;
        while (i < s.size() && !IsSeparator(s[i])) ++i;
        if (i == s.size() && !ended) return TResult::NeedMore;
        if (token) token->assign(s.substr(start, count == 1 ? i - start : std::min(i - start, kLogTextWidth)));
      }
    }
  }

 private:
  // The log keeps kLogTextWidth bytes of a text; the record number is read whole.
  static void Keep(std::string* token, std::size_t limit, char c) {
    if (token && token->size() < limit) token->push_back(c);
  }

  // The quoted token at s[i]; "" stands for one quote. False when more bytes are needed.
  static bool Quoted(std::string_view s, bool ended, std::size_t& i, std::string* token, std::size_t limit) {
    std::size_t firstLineEnd = std::string_view::npos;
    std::size_t keptAtLineEnd = 0;
    for (std::size_t j = i + 1;; ++j) {
      bool stray = firstLineEnd != std::string_view::npos && j - i > kMaxOpenQuote;
      if (j == s.size() || stray) {
        if (!ended && !stray) return false;
        // The quote never closes: the token ends at its first line end, or the end of the bytes.
        if (firstLineEnd != std::string_view::npos) {
          if (token) token->resize(keptAtLineEnd);
          i = firstLineEnd;
        } else {
          i = j;
        }
        return true;
      }
      char c = s[j];
      if (IsLineEnd(c) && firstLineEnd == std::string_view::npos) {
        firstLineEnd = j;
        keptAtLineEnd = token ? token->size() : 0;
      }
      if (c != '"') {
        Keep(token, limit, c);
      } else if (j + 1 == s.size() && !ended) {
        return false;  // a closing quote, or the first of two
      } else if (j + 1 < s.size() && s[j + 1] == '"') {
        Keep(token, limit, '"');
        ++j;
      } else {
        i = j + 1;
        return true;
      }
    }
  }
};

}  // namespace

namespace logfiles {

void WriteTextLog(const TReadingLog& log, TOutput& out, const std::function<void(std::size_t row)>& onRow) {
  for (std::size_t i = 0; i < kLogFieldCount; ++i) {
    if (i > 0) out.Put('\t');
    out.Put(kLogColumnTitles[i]);
  }
  out.Put(kLineEnd);
  for (std::size_t row = 0; row < log.Count(); ++row) {
    if (onRow && row % 65536 == 0) onRow(row);
    PutTextLine(out, log.Record(row));
  }
}

void PutTextLine(TOutput& out, const LogRecord& r) {
  char number[16];
  auto [end, ec] = std::to_chars(number, number + sizeof number, r.ANo);
  out.Put(std::string_view(number, static_cast<std::size_t>(end - number)));
  for (std::size_t k = 0; k < kLogTextFieldCount; ++k) {
    out.Put('\t');
    PutField(out, r.*kLogTextFields[k], k == kAValueIndex);
  }
  out.Put(kLineEnd);
}

}  // namespace logfiles

std::string FormatTextLog(const TReadingLog& log) {
  logfiles::TOutput out;
  logfiles::WriteTextLog(log, out);
  return out.Take();
}

std::string FormatTextLogLine(const LogRecord& record) {
  logfiles::TOutput out;
  logfiles::PutTextLine(out, record);
  return out.Take();
}

TLogParseResult ParseTextLog(std::string_view bytes, TReadingLog& log) {
  logfiles::TViewSource source(bytes);
  return logfiles::ReadTextLog(source, log);
}

TLogParseResult logfiles::ReadTextLog(TSource& source, TReadingLog& log) {
  TReadBuffer in(source);
  // The first line is dropped whatever it holds, quotes included.
  while (true) {
    std::string_view rest = in.Rest();
    std::size_t end = rest.find_first_of("\r\n");
    if (end != std::string_view::npos && (end + 1 < rest.size() || in.Ended() || rest[end] == '\n')) {
      in.Consume(end + (rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n' ? 2 : 1));
      break;
    }
    if (!in.More()) {
      if (in.Rest().empty()) return {"the file is empty"};
      if (end == std::string_view::npos) return {};  // the header alone, without a line end
    }
  }
  TRecordScan scan;
  std::size_t record = 0;
  while (true) {
    if (in.Rest().empty() && !in.More()) return {};
    while (scan.Scan(in.Rest(), in.Ended()) == TRecordScan::TResult::NeedMore) in.More();
    in.Consume(scan.used);
    if (scan.count == 0) continue;
    ++record;
    if (scan.count > kLogFieldCount) return {"record " + std::to_string(record) + ": more than nine fields"};
    auto no = TryReadInteger<std::int32_t>(scan.tokens[0]);
    if (!no) return {"record " + std::to_string(record) + ": the record number is not an integer"};
    LogRecord r;
    r.ANo = *no;
    for (std::size_t t = 1; t < scan.count; ++t) r.*kLogTextFields[t - 1] = scan.tokens[t];
    log.Append(r);
  }
}

}  // namespace qm
