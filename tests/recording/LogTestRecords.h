// Building and reading back log records in the reading-log tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <vector>

#include "recording/LogRecord.h"
#include "recording/LogStore.h"

namespace qm {

// Readable failure output: null texts as "null", others quoted with odd bytes in hex.
inline void PrintTo(const LogRecord& r, std::ostream* os) {
  *os << "{" << r.ANo;
  for (auto field : kLogTextFields) {
    const LogText& t = r.*field;
    *os << ", ";
    if (!t) {
      *os << "null";
      continue;
    }
    *os << '"';
    for (unsigned char c : *t) {
      if (c >= 32 && c < 127 && c != '\\')
        *os << c;
      else
        *os << "\\x"
            << "0123456789ABCDEF"[c >> 4] << "0123456789ABCDEF"[c & 15];
    }
    *os << '"';
  }
  *os << "}";
}

namespace test {

// A record with ANo `no` and the text fields in column order (ATime first); fields not given are null.
inline LogRecord Rec(std::int32_t no, std::initializer_list<LogText> texts) {
  LogRecord r;
  r.ANo = no;
  std::size_t k = 0;
  for (const LogText& t : texts) r.*kLogTextFields.at(k++) = t;
  return r;
}

inline std::vector<LogRecord> Records(const TReadingLog& log) {
  std::vector<LogRecord> out;
  for (std::size_t row = 0; row < log.Count(); ++row) out.push_back(log.Record(row));
  return out;
}

inline void Fill(TReadingLog& log, const std::vector<LogRecord>& records) {
  for (const LogRecord& r : records) log.Append(r);
}

}  // namespace test
}  // namespace qm
