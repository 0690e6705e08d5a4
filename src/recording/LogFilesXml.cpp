// The XML data packet format of the log files.
//
// The files declare no encoding and hold the log's 8-bit texts byte for byte. They are parsed as
// Latin-1 (an encoding declaration of UTF-8, or a UTF-16/32 byte-order mark, is honoured instead)
// and every text is mapped back to 8 bits, characters beyond Latin-1 becoming "?".
#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "common/NumberText.h"
#include "recording/LogFiles.h"
#include "recording/LogFilesInternal.h"

namespace qm {

namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" standalone=\"yes\"?>  ";
constexpr std::string_view kRowStateAttr = "RowState";
constexpr const char* kChangeLogAttr = "CHANGE_LOG";

std::string_view FieldType(std::size_t field) { return field == 0 ? "i4" : "string"; }

const char* EscapeOf(char c) {
  switch (c) {
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '&':
      return "&amp;";
    case '"':
      return "&quot;";
    case '\'':
      return "&apos;";
    case '\r':
      return "&#013;";
    case '\n':
      return "&#010;";
    case '\t':
      return "&#009;";
    case '\\':
      return "&#092;";
    case '\0':
      return "&#000;";  // not representable in XML 1.0; readers cut the text here
    default:
      return nullptr;
  }
}

void PutEscaped(logfiles::TOutput& out, std::string_view s) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (const char* escape = EscapeOf(s[i])) {
      out.Put(s.substr(start, i - start));
      out.Put(escape);
      start = i + 1;
    }
  }
  out.Put(s.substr(start));
}

template <typename Int>
void PutNumber(logfiles::TOutput& out, Int n) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, n);
  out.Put(std::string_view(buf, static_cast<std::size_t>(end - buf)));
}

bool AsciiIEquals(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

// The encoding to parse with: Latin-1 unless the file says otherwise.
pugi::xml_encoding SourceEncoding(std::string_view bytes) {
  auto starts = [&](std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; };
  using namespace std::string_view_literals;
  if (starts("\xEF\xBB\xBF"sv) || starts("\xFE\xFF"sv) || starts("\xFF\xFE"sv) || starts("\0\0"sv) || starts("<\0"sv) ||
      starts("\0<"sv))
    return pugi::encoding_auto;  // a byte-order mark or a 16/32-bit form
  if (!starts("<?xml")) return pugi::encoding_latin1;
  std::size_t declEnd = bytes.find("?>");
  if (declEnd == std::string_view::npos) return pugi::encoding_latin1;
  std::string_view decl = bytes.substr(0, declEnd);
  std::size_t at = decl.find("encoding");
  if (at == std::string_view::npos) return pugi::encoding_latin1;
  std::size_t open = decl.find_first_of("\"'", at);
  if (open == std::string_view::npos) return pugi::encoding_latin1;
  std::size_t close = decl.find(decl[open], open + 1);
  std::string_view name = decl.substr(open + 1, close == std::string_view::npos ? 0 : close - open - 1);
  return AsciiIEquals(name, "UTF-8") || AsciiIEquals(name, "UTF8") ? pugi::encoding_utf8 : pugi::encoding_latin1;
}

// The first `limit` 8-bit characters of a UTF-8 text; "?" for what Latin-1 cannot hold.
AnsiString ToLatin1(const char* utf8, std::size_t limit) {
  AnsiString out;
  const auto* p = reinterpret_cast<const unsigned char*>(utf8);
  while (*p && out.size() < limit) {
    unsigned char c = *p;
    std::size_t len = c < 0x80                 ? 1
                      : c >= 0xC2 && c <= 0xDF ? 2
                      : c >= 0xE0 && c <= 0xEF ? 3
                      : c >= 0xF0 && c <= 0xF4 ? 4
                                               : 0;
    std::size_t valid = len == 0 ? 0 : 1;
    while (valid > 0 && valid < len && (p[valid] & 0xC0) == 0x80) ++valid;
    if (len == 0 || valid < len) {
      out.push_back('?');
      ++p;
      continue;
    }
    if (len == 1)
      out.push_back(static_cast<char>(c));
    else if (len == 2 && c <= 0xC3)
      out.push_back(static_cast<char>(((c & 0x1F) << 6) | (p[1] & 0x3F)));
    else
      out.push_back('?');
    p += len;
  }
  return out;
}

// CHANGE_LOG as (row number, state) pairs sorted by row; empty when absent or malformed.
std::vector<std::pair<std::uint32_t, std::uint8_t>> ReadChangeLog(std::string_view text) {
  std::vector<std::uint32_t> numbers;
  std::size_t i = 0;
  while (true) {
    i = text.find_first_not_of(" \t\r\n", i);
    if (i == std::string_view::npos) break;
    std::size_t end = std::min(text.find_first_of(" \t\r\n", i), text.size());
    auto n = TryReadInteger<std::uint32_t>(text.substr(i, end - i));
    if (!n) return {};
    numbers.push_back(*n);
    i = end;
  }
  if (numbers.size() % 3 != 0) return {};
  std::vector<std::pair<std::uint32_t, std::uint8_t>> entries;
  for (std::size_t k = 0; k < numbers.size(); k += 3)
    entries.emplace_back(numbers[k], static_cast<std::uint8_t>(numbers[k + 2]));
  std::stable_sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.first < b.first; });
  return entries;
}

// Attribute names of the nine fields as the file spells them, matched by attrname.
using TFieldNames = std::array<std::string, kLogFieldCount>;

std::string ReadFields(pugi::xml_node fields, TFieldNames& names) {
  std::array<bool, kLogFieldCount> seen{};
  for (pugi::xml_node field : fields.children("FIELD")) {
    std::string_view attrname = field.attribute("attrname").value();
    for (std::size_t k = 0; k < kLogFieldCount; ++k) {
      if (!AsciiIEquals(attrname, kLogFieldNames[k])) continue;
      if (seen[k]) return "field " + std::string(kLogFieldNames[k]) + " is declared twice";
      if (!AsciiIEquals(field.attribute("fieldtype").value(), FieldType(k)))
        return "field " + std::string(kLogFieldNames[k]) + " is not of type " + std::string(FieldType(k));
      seen[k] = true;
      names[k] = attrname;
    }
  }
  for (std::size_t k = 0; k < kLogFieldCount; ++k)
    if (!seen[k]) return "field " + std::string(kLogFieldNames[k]) + " is missing";
  return {};
}

// Index of the field an attribute name belongs to, trying `hint` first (rows usually list the
// fields in order); kLogFieldCount for none.
std::size_t FieldOf(const char* name, const TFieldNames& names, std::size_t hint) {
  for (std::size_t n = 0; n < kLogFieldCount; ++n) {
    std::size_t k = (hint + n) % kLogFieldCount;
    if (std::strcmp(names[k].c_str(), name) == 0) return k;
  }
  return kLogFieldCount;
}

}  // namespace

namespace logfiles {

void WriteXmlLog(const TReadingLog& log, TOutput& out) {
  out.Put(kDeclaration);
  out.Put("<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>");
  for (std::size_t k = 0; k < kLogFieldCount; ++k) {
    out.Put("<FIELD attrname=\"");
    out.Put(kLogFieldNames[k]);
    out.Put("\" fieldtype=\"");
    out.Put(FieldType(k));
    out.Put(k == 0 ? "\"/>" : "\" WIDTH=\"20\"/>");
  }
  out.Put("</FIELDS><PARAMS");
  bool anyChange = false;
  for (std::size_t row = 0; row < log.Count(); ++row) {
    std::uint8_t state = log.RowState(row);
    if (state == 0) continue;
    out.Put(anyChange ? " " : " CHANGE_LOG=\"");
    anyChange = true;
    PutNumber(out, row + 1);
    out.Put(" 0 ");
    PutNumber(out, unsigned{state});
  }
  if (anyChange) out.Put('"');
  out.Put("/></METADATA><ROWDATA>");
  for (std::size_t row = 0; row < log.Count(); ++row) {
    LogRecord r = log.Record(row);
    out.Put("<ROW");
    if (std::uint8_t state = log.RowState(row)) {
      out.Put(" RowState=\"");
      PutNumber(out, unsigned{state});
      out.Put('"');
    }
    out.Put(" ANo=\"");
    PutNumber(out, r.ANo);
    out.Put('"');
    for (std::size_t k = 0; k < kLogTextFieldCount; ++k) {
      const LogText& text = r.*kLogTextFields[k];
      if (!text) continue;
      out.Put(' ');
      out.Put(kLogFieldNames[k + 1]);
      out.Put("=\"");
      PutEscaped(out, *text);
      out.Put('"');
    }
    out.Put("/>");
  }
  out.Put("</ROWDATA></DATAPACKET>");
}

}  // namespace logfiles

std::string FormatXmlLog(const TReadingLog& log) {
  logfiles::TOutput out;
  logfiles::WriteXmlLog(log, out);
  return out.Take();
}

TLogParseResult ParseXmlLog(std::string_view bytes, TReadingLog& log) {
  std::string copy(bytes);
  return logfiles::ParseXmlLogInPlace(copy, log);
}

TLogParseResult logfiles::ParseXmlLogInPlace(std::string& bytes, TReadingLog& log) {
  pugi::xml_encoding encoding = SourceEncoding(bytes);
  // Plain ASCII reads the same as UTF-8, which pugixml parses without converting the buffer.
  if (encoding == pugi::encoding_latin1 &&
      std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; }))
    encoding = pugi::encoding_utf8;
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer_inplace(bytes.data(), bytes.size(), pugi::parse_default, encoding);
  if (!parsed) return {"not well-formed XML (" + std::string(parsed.description()) + ")"};

  pugi::xml_node packet = doc.document_element();
  if (std::strcmp(packet.name(), "DATAPACKET") != 0) return {"not a data packet"};
  pugi::xml_node metadata = packet.child("METADATA");
  pugi::xml_node fields = metadata.child("FIELDS");
  if (!fields) return {"the data packet declares no fields"};
  TFieldNames names;
  if (std::string error = ReadFields(fields, names); !error.empty()) return {error};

  auto changes = ReadChangeLog(metadata.child("PARAMS").attribute(kChangeLogAttr).value());
  auto nextChange = changes.begin();

  TReadingLog fresh;
  std::uint32_t rowNumber = 0;
  for (pugi::xml_node row : packet.child("ROWDATA").children("ROW")) {
    ++rowNumber;
    std::uint8_t state = 0;
    for (; nextChange != changes.end() && nextChange->first <= rowNumber; ++nextChange)
      if (nextChange->first == rowNumber) state = nextChange->second;

    LogRecord r;
    std::size_t hint = 0;
    for (pugi::xml_attribute attr : row.attributes()) {
      if (kRowStateAttr == attr.name()) {
        if (auto s = TryReadInteger<std::uint8_t>(attr.value())) state = *s;
        continue;
      }
      std::size_t k = FieldOf(attr.name(), names, hint);
      if (k == kLogFieldCount) continue;  // another field's value, or an attribute we do not know
      hint = k + 1;
      if (k == 0) {
        auto no = TryReadInteger<std::int32_t>(attr.value());
        if (!no) return {"row " + std::to_string(rowNumber) + ": ANo is not an integer"};
        r.ANo = *no;
      } else {
        r.*kLogTextFields[k - 1] = ToLatin1(attr.value(), kLogTextWidth);
      }
    }
    fresh.AppendPacketRow(r, state);
  }
  if (!fresh.Empty()) fresh.SetCurrentRow(0);
  log.Swap(fresh);
  return {};
}

}  // namespace qm
