// The XML data packet format of the log files.
//
// The files declare no encoding and hold the log's 8-bit texts byte for byte. They are parsed as
// Latin-1 (an encoding declaration of UTF-8, or a UTF-16/32 byte-order mark, is honoured instead)
// and every text is mapped back to 8 bits, characters beyond Latin-1 becoming "?". Control bytes
// are written as character references (&#001;), which the reader maps back.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <functional>
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
      return "&#000;";  // the log never holds one (see CutLogText); a reader cuts the text here
    default:
      break;
  }
  // The other control bytes a meter text can carry are written as character references, never
  // raw: a raw control byte is a fatal error to most XML readers, a reference is what XML 1.1
  // prescribes for them, and our reader takes them back byte for byte.
  static constexpr std::array<const char*, 32> kControls = {
      nullptr,  "&#001;", "&#002;", "&#003;", "&#004;", "&#005;", "&#006;", "&#007;",
      "&#008;", nullptr,  nullptr,  "&#011;", "&#012;", nullptr,  "&#014;", "&#015;",
      "&#016;", "&#017;", "&#018;", "&#019;", "&#020;", "&#021;", "&#022;", "&#023;",
      "&#024;", "&#025;", "&#026;", "&#027;", "&#028;", "&#029;", "&#030;", "&#031;"};
  auto u = static_cast<unsigned char>(c);
  return u < kControls.size() ? kControls[u] : nullptr;
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

// Row numbers beyond this in CHANGE_LOG are ignored (no log comes near it).
constexpr std::uint32_t kMaxChangeRow = std::uint32_t{1} << 25;

// CHANGE_LOG as the state of each row number (1-based; 0 for none, the last entry of a row
// counting); empty when absent or malformed.
std::vector<std::uint8_t> ReadChangeLog(std::string_view text) {
  std::vector<std::uint8_t> states;
  std::array<std::uint32_t, 3> entry{};
  std::size_t have = 0;
  std::size_t i = 0;
  while (true) {
    i = text.find_first_not_of(" \t\r\n", i);
    if (i == std::string_view::npos) break;
    std::size_t end = std::min(text.find_first_of(" \t\r\n", i), text.size());
    auto n = TryReadInteger<std::uint32_t>(text.substr(i, end - i));
    if (!n) return {};
    entry[have++] = *n;
    if (have == 3) {
      have = 0;
      if (entry[0] < kMaxChangeRow) {
        if (entry[0] >= states.size()) states.resize(entry[0] + 1);
        states[entry[0]] = static_cast<std::uint8_t>(entry[2]);
      }
    }
    i = end;
  }
  if (have != 0) return {};
  return states;
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

void WriteXmlLog(const TReadingLog& log, TOutput& out, const std::function<void(std::size_t row)>& onRow) {
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
    if (onRow && row % 65536 == 0) onRow(row);
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

namespace {

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return (c & 0x80) == 0; });
}

// Parses `bytes` (which it may overwrite) into `doc`; an error text on failure.
std::string ParseInto(pugi::xml_document& doc, std::string& bytes, pugi::xml_encoding encoding) {
  // Plain ASCII reads the same as UTF-8, which pugixml parses without converting the buffer.
  if (encoding == pugi::encoding_latin1 && IsAscii(bytes)) encoding = pugi::encoding_utf8;
  pugi::xml_parse_result parsed = doc.load_buffer_inplace(bytes.data(), bytes.size(), pugi::parse_default, encoding);
  if (!parsed) return "not well-formed XML (" + std::string(parsed.description()) + ")";
  return {};
}

// What the packet's METADATA says, and the rows it builds.
class TPacket {
 public:
  // Checks the packet's root and fields; an error text on failure.
  std::string ReadHead(pugi::xml_node packet) {
    if (std::strcmp(packet.name(), "DATAPACKET") != 0) return "not a data packet";
    pugi::xml_node metadata = packet.child("METADATA");
    pugi::xml_node fields = metadata.child("FIELDS");
    if (!fields) return "the data packet declares no fields";
    if (std::string error = ReadFields(fields, names_); !error.empty()) return error;
    changes_ = ReadChangeLog(metadata.child("PARAMS").attribute(kChangeLogAttr).value());
    return {};
  }

  // Takes the ROW children of `rows`; an error text on failure.
  std::string ReadRows(pugi::xml_node rows) {
    for (pugi::xml_node row : rows.children("ROW")) {
      ++rowNumber_;
      std::uint8_t state = rowNumber_ < changes_.size() ? changes_[rowNumber_] : 0;
      LogRecord r;
      std::size_t hint = 0;
      for (pugi::xml_attribute attr : row.attributes()) {
        if (kRowStateAttr == attr.name()) {
          if (auto st = TryReadInteger<std::uint8_t>(attr.value())) state = *st;
          continue;
        }
        std::size_t k = FieldOf(attr.name(), names_, hint);
        if (k == kLogFieldCount) continue;  // another field's value, or an attribute we do not know
        hint = k + 1;
        if (k == 0) {
          auto no = TryReadInteger<std::int32_t>(attr.value());
          if (!no) return "row " + std::to_string(rowNumber_) + ": ANo is not an integer";
          r.ANo = *no;
        } else {
          r.*kLogTextFields[k - 1] = ToLatin1(attr.value(), kLogTextWidth);
        }
      }
      records_.AppendPacketRow(r, state);
    }
    return {};
  }

  // Hands the rows to `log`, the first one current.
  void Finish(TReadingLog& log) {
    if (!records_.Empty()) records_.SetCurrentRow(0);
    log.Swap(records_);
  }

 private:
  TFieldNames names_;
  std::vector<std::uint8_t> changes_;
  std::uint32_t rowNumber_ = 0;
  TReadingLog records_;
};

// The whole packet parsed at once: for files in a 16- or 32-bit form, which the scanner below
// cannot cut up.
TLogParseResult ParseWholePacket(std::string& bytes, TReadingLog& log) {
  pugi::xml_document doc;
  if (std::string error = ParseInto(doc, bytes, pugi::encoding_auto); !error.empty()) return {error};
  TPacket packet;
  pugi::xml_node root = doc.document_element();
  if (std::string error = packet.ReadHead(root); !error.empty()) return {error};
  if (std::string error = packet.ReadRows(root.child("ROWDATA")); !error.empty()) return {error};
  packet.Finish(log);
  return {};
}

// ---- cutting a packet into pieces for the parser ----
//
// The scanner finds only where the markup items of an ASCII-compatible file begin and end
// (tags with their quoted values, comments, processing instructions, CDATA, a DOCTYPE); the
// pieces themselves are lexed and checked by pugixml. The head of the packet up to the ROWDATA
// start tag is parsed whole, then the rows a batch of about a megabyte at a time, each batch a
// run of complete ROWDATA children.

enum class TItem : std::uint8_t { Text, Start, Empty, End, Other, NeedMore, Bad };

struct TScanned {
  TItem kind;
  std::size_t end = 0;
  std::string_view name = {};
};

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The item that begins at s[at].
TScanned ScanItem(std::string_view s, std::size_t at, bool ended) {
  const TScanned more{ended ? TItem::Bad : TItem::NeedMore};
  if (s[at] != '<') {
    std::size_t lt = s.find('<', at);
    if (lt != std::string_view::npos) return {TItem::Text, lt};
    return ended ? TScanned{TItem::Text, s.size()} : more;
  }
  std::string_view r = s.substr(at);
  if (r.size() < 9 && !ended) return more;  // enough to tell the kinds apart
  auto to = [&](std::string_view close, std::size_t from) {
    std::size_t e = s.find(close, from);
    return e == std::string_view::npos ? more : TScanned{TItem::Other, e + close.size()};
  };
  if (r.starts_with("<!--")) return to("-->", at + 4);
  if (r.starts_with("<![CDATA[")) return to("]]>", at + 9);
  if (r.starts_with("<?")) return to("?>", at + 2);
  char quote = 0;
  if (r.starts_with("<!")) {  // a DOCTYPE: to its '>', past quoted texts and an internal subset
    int depth = 0;
    for (std::size_t i = at + 2; i < s.size(); ++i) {
      char c = s[i];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '[') {
        ++depth;
      } else if (c == ']') {
        --depth;
      } else if (c == '>' && depth <= 0) {
        return {TItem::Other, i + 1};
      }
    }
    return more;
  }
  bool endTag = r.starts_with("</");
  std::size_t nameAt = at + (endTag ? 2 : 1);
  std::size_t i = nameAt;
  while (i < s.size() && !IsXmlSpace(s[i]) && s[i] != '>' && s[i] != '/') ++i;
  if (i == s.size()) return more;
  std::string_view name = s.substr(nameAt, i - nameAt);
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      TItem kind = endTag ? TItem::End : s[i - 1] == '/' ? TItem::Empty : TItem::Start;
      return {kind, i + 1, name};
    }
  }
  return more;
}

constexpr std::size_t kBatch = std::size_t{1} << 20;

}  // namespace

TLogParseResult ParseXmlLog(std::string_view bytes, TReadingLog& log) {
  logfiles::TViewSource source(bytes);
  return logfiles::ReadXmlLog(source, log);
}

TLogParseResult logfiles::ReadXmlLog(TSource& source, TReadingLog& log) {
  TReadBuffer in(source);
  in.More();
  using namespace std::string_view_literals;
  pugi::xml_encoding encoding = SourceEncoding(in.Rest());
  if (in.Rest().starts_with("\xEF\xBB\xBF"sv)) {
    in.Consume(3);
    encoding = pugi::encoding_utf8;
  } else if (encoding == pugi::encoding_auto) {
    while (in.More()) {
    }
    std::string whole = in.Take(in.Rest().size());  // handed over, not copied
    return ParseWholePacket(whole, log);
  }

  enum class TPhase : std::uint8_t { Head, Rows, Tail, Epilogue } phase = TPhase::Head;
  TPacket packet;
  pugi::xml_document doc;
  std::string piece;
  std::vector<std::string> open;  // the elements open at `scanned`
  std::size_t scanned = 0;        // how far into in.Rest() the items are known

  // Parses the items before `end` as children of one element; with `rows`, takes the ROWs.
  auto batch = [&](std::size_t end, bool rows) -> std::string {
    if (end == 0) return {};
    piece.assign("<R>");
    piece.append(in.Rest().substr(0, end));
    piece.append("</R>");
    if (std::string error = ParseInto(doc, piece, encoding); !error.empty()) return error;
    return rows ? packet.ReadRows(doc.first_child()) : std::string();
  };
  // Parses the head (everything before `end`, taken out of the buffer: a long CHANGE_LOG makes it
  // as big as the records), closing the elements still open.
  auto head = [&](std::size_t end, TPhase to) -> std::string {
    std::string bytes = in.Take(end);
    for (auto it = open.rbegin(); it != open.rend(); ++it) bytes.append("</" + *it + ">");
    scanned = 0;
    phase = to;
    if (std::string error = ParseInto(doc, bytes, encoding); !error.empty()) return error;
    std::string error = packet.ReadHead(doc.document_element());
    doc.reset();
    return error;
  };
  auto next = [&](std::size_t end, TPhase to) {
    in.Consume(end);
    in.Release();
    scanned = 0;
    phase = to;
  };

  while (true) {
    std::string_view s = in.Rest();
    if (scanned == s.size()) {
      if (in.More()) continue;
      break;
    }
    TScanned item = ScanItem(s, scanned, in.Ended());
    if (item.kind == TItem::NeedMore) {
      in.More();
      continue;
    }
    if (item.kind == TItem::Bad) return {"not well-formed XML (the file ends inside markup)"};
    std::size_t itemAt = scanned;
    scanned = item.end;
    if (item.kind == TItem::Start || item.kind == TItem::Empty) {
      if (phase == TPhase::Epilogue) return {"not well-formed XML (content after the root element)"};
      if (open.empty() && item.name != "DATAPACKET") return {"not a data packet"};
    }
    if (item.kind == TItem::Start) open.emplace_back(item.name);
    if (item.kind == TItem::End) {
      if (open.empty() || open.back() != item.name) return {"not well-formed XML (mismatched end tag)"};
      open.pop_back();
    }
    if (item.kind == TItem::Text && phase == TPhase::Epilogue &&
        !std::all_of(s.begin() + itemAt, s.begin() + item.end, IsXmlSpace))
      return {"not well-formed XML (text after the root element)"};

    switch (phase) {
      case TPhase::Head:
        if (item.name == "ROWDATA" && ((item.kind == TItem::Start && open.size() == 2) ||
                                       (item.kind == TItem::Empty && open.size() == 1))) {
          if (std::string error = head(scanned, item.kind == TItem::Start ? TPhase::Rows : TPhase::Tail);
              !error.empty())
            return {error};
        } else if (item.kind == TItem::End && open.empty()) {  // a packet without ROWDATA
          if (std::string error = head(scanned, TPhase::Epilogue); !error.empty()) return {error};
        }
        break;
      case TPhase::Rows:
      case TPhase::Tail: {
        const bool rows = phase == TPhase::Rows;
        const std::size_t container = rows ? 2 : 1;
        if (open.size() < container) {  // the end tag of ROWDATA, or of the packet
          if (std::string error = batch(itemAt, rows); !error.empty()) return {error};
          next(scanned, rows ? TPhase::Tail : TPhase::Epilogue);
        } else if (open.size() == container && scanned >= kBatch) {
          if (std::string error = batch(scanned, rows); !error.empty()) return {error};
          in.Consume(scanned);
          scanned = 0;
        }
        break;
      }
      case TPhase::Epilogue:
        break;
    }
  }
  if (phase != TPhase::Epilogue) return {open.empty() ? "no data packet" : "not well-formed XML (the file ends early)"};
  packet.Finish(log);
  return {};
}

}  // namespace qm
