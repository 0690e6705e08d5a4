// The tab-separated text format of the log files.
#include <charconv>
#include <string>
#include <vector>

#include "common/NumberText.h"
#include "recording/LogFiles.h"
#include "recording/LogFilesInternal.h"

namespace qm {

namespace {

constexpr std::size_t kAValueIndex = 2;  // in kLogTextFields
constexpr std::string_view kNullToken = "NULL";
constexpr std::string_view kLineEnd = "\r\n";

// Codes 1..32: blanks and control characters, the separators of the text format.
bool IsSeparator(char c) {
  auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

std::string_view TrimSeparators(std::string_view s) {
  while (!s.empty() && IsSeparator(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSeparator(s.back())) s.remove_suffix(1);
  return s;
}

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
  std::string_view s = text ? TrimSeparators(*text) : std::string_view{};
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

// Splits one line into its tokens; stops after `limit` + 1 tokens, which is already too many.
std::vector<std::string> Tokens(std::string_view line, std::size_t limit) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (tokens.size() <= limit) {
    while (i < line.size() && IsSeparator(line[i])) ++i;
    if (i == line.size()) break;
    std::string token;
    if (line[i] == '"') {
      // Runs to the next single double quote (or the end of the line); "" stands for one quote.
      for (++i; i < line.size(); ++i) {
        if (line[i] != '"') {
          token.push_back(line[i]);
        } else if (i + 1 < line.size() && line[i + 1] == '"') {
          token.push_back('"');
          ++i;
        } else {
          ++i;
          break;
        }
      }
    } else {
      std::size_t start = i;
      while (i < line.size() && !IsSeparator(line[i])) ++i;
      token.assign(line.substr(start, i - start));
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

// Cuts `bytes` into lines ending at CR, LF or CR LF, handing each to `onLine` until it returns false.
template <typename OnLine>
void ForEachLine(std::string_view bytes, OnLine onLine) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", i);
    if (end == std::string_view::npos) end = bytes.size();
    if (!onLine(bytes.substr(i, end - i))) return;
    i = end;
    if (i == bytes.size()) return;
    bool cr = bytes[i++] == '\r';
    if (cr && i < bytes.size() && bytes[i] == '\n') ++i;
  }
}

}  // namespace

namespace logfiles {

void WriteTextLog(const TReadingLog& log, TOutput& out) {
  for (std::size_t i = 0; i < kLogFieldCount; ++i) {
    if (i > 0) out.Put('\t');
    out.Put(kLogColumnTitles[i]);
  }
  out.Put(kLineEnd);
  char number[16];
  for (std::size_t row = 0; row < log.Count(); ++row) {
    LogRecord r = log.Record(row);
    auto [end, ec] = std::to_chars(number, number + sizeof number, r.ANo);
    out.Put(std::string_view(number, static_cast<std::size_t>(end - number)));
    for (std::size_t k = 0; k < kLogTextFieldCount; ++k) {
      out.Put('\t');
      PutField(out, r.*kLogTextFields[k], k == kAValueIndex);
    }
    out.Put(kLineEnd);
  }
}

}  // namespace logfiles

std::string FormatTextLog(const TReadingLog& log) {
  logfiles::TOutput out;
  logfiles::WriteTextLog(log, out);
  return out.Take();
}

TLogParseResult ParseTextLog(std::string_view bytes, TReadingLog& log) {
  if (bytes.empty()) return {"the file is empty"};
  TLogParseResult result;
  std::size_t lineNo = 0;
  ForEachLine(bytes, [&](std::string_view line) {
    if (++lineNo == 1) return true;  // the header, whatever it holds
    std::vector<std::string> tokens = Tokens(line, kLogFieldCount);
    if (tokens.empty()) return true;
    if (tokens.size() > kLogFieldCount) {
      result.Error = "line " + std::to_string(lineNo) + ": more than nine fields";
      return false;
    }
    auto no = TryReadInteger<std::int32_t>(tokens[0]);
    if (!no) {
      result.Error = "line " + std::to_string(lineNo) + ": the record number is not an integer";
      return false;
    }
    LogRecord r;
    r.ANo = *no;
    for (std::size_t t = 1; t < tokens.size(); ++t) r.*kLogTextFields[t - 1] = std::move(tokens[t]);
    log.Append(r);
    return true;
  });
  return result;
}

}  // namespace qm
