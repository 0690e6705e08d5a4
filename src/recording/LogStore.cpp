#include "recording/LogStore.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Layout. Rows live in chunks of kChunkRows, one array per column group:
//   ANo         4 bytes
//   ATime       4 bytes: a compact code for "hh?mm?ss(....)" stamps whose clock digits are valid
//               (the 14 other bytes, one set per day, are interned), else a reference to raw text
//   AFunction, AUnit, ASubUnit1, ASubUnit2
//               4 bytes together: a reference to the interned tuple of the four texts
//   AValue, ASubValue1, ASubValue2
//               8 bytes each: up to 7 bytes inline, else a reference to raw text
// Raw texts and tuples go to an arena of small blocks. Interning is bounded, so a file whose
// texts never repeat costs raw storage instead of an ever-growing dictionary.

namespace qm {

namespace {

constexpr std::size_t kChunkRows = 1024;
constexpr std::size_t kValueColumns = 3;
constexpr std::size_t kInlineBytes = 7;
constexpr std::size_t kMaxInterned = 16384;

constexpr std::uint8_t kNullTextMark = 0xFF;  // length byte of a null text inside a tuple

constexpr std::uint32_t kTimeNull = 0xFFFFFFFFu;
constexpr std::uint32_t kTimeRawBit = 0x80000000u;
constexpr std::uint32_t kSecondsPerDay = 86400;
constexpr std::size_t kStampLength = 20;
constexpr std::size_t kFrameLength = 14;  // stamp bytes other than the six clock digits
constexpr std::array<std::size_t, 6> kClockDigitPos = {0, 1, 3, 4, 6, 7};

constexpr std::uint8_t kValueNull = 0xFE;
constexpr std::uint8_t kValueRaw = 0xFF;

struct TValueCell {
  std::uint8_t tag;  // 0..7: inline length; kValueNull; kValueRaw: bytes[0..3] hold the reference
  std::array<char, kInlineBytes> bytes;
};
static_assert(sizeof(TValueCell) == 8);

struct TChunk {
  std::int32_t no[kChunkRows];
  std::uint32_t time[kChunkRows];
  std::uint32_t tuple[kChunkRows];
  TValueCell values[kValueColumns][kChunkRows];
};

// Short byte entries ([length][payload], payload at most 255 bytes) in blocks of at most 64 KiB.
// A reference is block << 16 | offset and stays below 2^31.
class TTextArena {
 public:
  std::uint32_t Add(std::string_view payload) {
    std::size_t need = payload.size() + 1;
    if (blocks_.empty() || used_ + need > blockSize_) NewBlock();
    char* p = blocks_.back().get() + used_;
    p[0] = static_cast<char>(payload.size());
    std::memcpy(p + 1, payload.data(), payload.size());
    auto ref = static_cast<std::uint32_t>(((blocks_.size() - 1) << 16) | used_);
    used_ += need;
    return ref;
  }
  std::string_view Get(std::uint32_t ref) const {
    const char* p = blocks_[ref >> 16].get() + (ref & 0xFFFFu);
    return {p + 1, static_cast<unsigned char>(p[0])};
  }

 private:
  static constexpr std::size_t kFirstBlock = 1024;
  static constexpr std::size_t kMaxBlock = 65536;
  static constexpr std::size_t kMaxBlocks = 32767;

  void NewBlock() {
    if (blocks_.size() >= kMaxBlocks) throw std::length_error("the reading log's text storage is full");
    blockSize_ = blocks_.empty() ? kFirstBlock : std::min(blockSize_ * 2, kMaxBlock);
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize_));
    used_ = 0;
  }

  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t blockSize_ = 0;
  std::size_t used_ = 0;
};

// Key -> id for at most kMaxInterned keys, remembering the last hit (readings repeat in runs).
class TInterner {
 public:
  std::optional<std::uint32_t> Find(const std::string& key) {
    if (hasLast_ && key == lastKey_) return lastId_;
    auto it = ids_.find(key);
    if (it == ids_.end()) return std::nullopt;
    Remember(key, it->second);
    return it->second;
  }
  bool Full() const { return ids_.size() >= kMaxInterned; }
  // When full, the key is only remembered as the last one.
  void Insert(const std::string& key, std::uint32_t id) {
    if (!Full()) ids_.emplace(key, id);
    Remember(key, id);
  }

 private:
  void Remember(const std::string& key, std::uint32_t id) {
    lastKey_ = key;
    lastId_ = id;
    hasLast_ = true;
  }

  std::unordered_map<std::string, std::uint32_t> ids_;
  std::string lastKey_;
  std::uint32_t lastId_ = 0;
  bool hasLast_ = false;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int TwoDigits(std::string_view s, std::size_t pos) { return (s[pos] - '0') * 10 + (s[pos + 1] - '0'); }

void PutNullableText(std::string& out, const LogText& text) {
  if (!text) {
    out.push_back(static_cast<char>(kNullTextMark));
    return;
  }
  std::string_view cut = CutLogText(*text);
  out.push_back(static_cast<char>(cut.size()));
  out.append(cut);
}

LogText TakeNullableText(std::string_view& in) {
  auto len = static_cast<unsigned char>(in.front());
  in.remove_prefix(1);
  if (len == kNullTextMark) return std::nullopt;
  AnsiString text(in.substr(0, len));
  in.remove_prefix(len);
  return text;
}

constexpr std::array<LogText LogRecord::*, 4> kTupleFields = {&LogRecord::AFunction, &LogRecord::AUnit,
                                                              &LogRecord::ASubUnit1, &LogRecord::ASubUnit2};
constexpr std::array<LogText LogRecord::*, kValueColumns> kValueFields = {&LogRecord::AValue, &LogRecord::ASubValue1,
                                                                          &LogRecord::ASubValue2};

}  // namespace

struct TReadingLog::TImpl {
  std::vector<std::unique_ptr<TChunk>> chunks;
  std::size_t count = 0;
  std::size_t current = 0;
  TTextArena arena;
  TInterner tuples;  // tuple bytes -> arena reference
  TInterner frames;  // stamp frame -> index into frameTexts
  std::vector<std::array<char, kFrameLength>> frameTexts;
  std::vector<std::uint8_t> packetStates;  // RowState of the rows taken over from a data packet
  std::string scratch;

  TChunk& SlotChunk() {
    if (count / kChunkRows == chunks.size()) chunks.push_back(std::unique_ptr<TChunk>(new TChunk));
    return *chunks[count / kChunkRows];
  }

  std::uint32_t RawRef(std::string_view payload) { return arena.Add(payload); }

  std::optional<std::uint32_t> CompactTime(std::string_view t) {
    if (t.size() != kStampLength) return std::nullopt;
    for (std::size_t pos : kClockDigitPos)
      if (!IsDigit(t[pos])) return std::nullopt;
    int h = TwoDigits(t, 0), m = TwoDigits(t, 3), s = TwoDigits(t, 6);
    if (h > 23 || m > 59 || s > 59) return std::nullopt;
    scratch.assign(1, t[2]);
    scratch.push_back(t[5]);
    scratch.append(t.substr(8));
    auto id = frames.Find(scratch);
    if (!id) {
      if (frames.Full()) return std::nullopt;
      id = static_cast<std::uint32_t>(frameTexts.size());
      std::array<char, kFrameLength> frame;
      std::memcpy(frame.data(), scratch.data(), kFrameLength);
      frameTexts.push_back(frame);
      frames.Insert(scratch, *id);
    }
    return *id * kSecondsPerDay + static_cast<std::uint32_t>(h * 3600 + m * 60 + s);
  }

  std::uint32_t EncodeTime(const LogText& time) {
    if (!time) return kTimeNull;
    std::string_view cut = CutLogText(*time);
    if (auto code = CompactTime(cut)) return *code;
    return kTimeRawBit | RawRef(cut);
  }

  LogText DecodeTime(std::uint32_t code) const {
    if (code == kTimeNull) return std::nullopt;
    if (code & kTimeRawBit) return AnsiString(arena.Get(code & ~kTimeRawBit));
    const auto& frame = frameTexts[code / kSecondsPerDay];
    std::uint32_t sec = code % kSecondsPerDay;
    unsigned h = sec / 3600, m = sec / 60 % 60, s = sec % 60;
    AnsiString t(kStampLength, '\0');
    t[0] = static_cast<char>('0' + h / 10);
    t[1] = static_cast<char>('0' + h % 10);
    t[2] = frame[0];
    t[3] = static_cast<char>('0' + m / 10);
    t[4] = static_cast<char>('0' + m % 10);
    t[5] = frame[1];
    t[6] = static_cast<char>('0' + s / 10);
    t[7] = static_cast<char>('0' + s % 10);
    std::memcpy(t.data() + 8, frame.data() + 2, kFrameLength - 2);
    return t;
  }

  std::uint32_t EncodeTuple(const LogRecord& r) {
    scratch.clear();
    for (auto field : kTupleFields) PutNullableText(scratch, r.*field);
    if (auto ref = tuples.Find(scratch)) return *ref;
    std::uint32_t ref = RawRef(scratch);
    tuples.Insert(scratch, ref);
    return ref;
  }

  void DecodeTuple(std::uint32_t ref, LogRecord& r) const {
    std::string_view in = arena.Get(ref);
    for (auto field : kTupleFields) r.*field = TakeNullableText(in);
  }

  TValueCell EncodeValue(const LogText& value) {
    TValueCell cell{};
    if (!value) {
      cell.tag = kValueNull;
      return cell;
    }
    std::string_view cut = CutLogText(*value);
    if (cut.size() <= kInlineBytes) {
      cell.tag = static_cast<std::uint8_t>(cut.size());
      std::memcpy(cell.bytes.data(), cut.data(), cut.size());
    } else {
      cell.tag = kValueRaw;
      std::uint32_t ref = RawRef(cut);
      std::memcpy(cell.bytes.data(), &ref, sizeof ref);
    }
    return cell;
  }

  LogText DecodeValue(const TValueCell& cell) const {
    if (cell.tag == kValueNull) return std::nullopt;
    if (cell.tag == kValueRaw) {
      std::uint32_t ref;
      std::memcpy(&ref, cell.bytes.data(), sizeof ref);
      return AnsiString(arena.Get(ref));
    }
    return AnsiString(cell.bytes.data(), cell.tag);
  }

  void Append(const LogRecord& r) {
    TChunk& chunk = SlotChunk();
    std::size_t i = count % kChunkRows;
    chunk.no[i] = r.ANo;
    chunk.time[i] = EncodeTime(r.ATime);
    chunk.tuple[i] = EncodeTuple(r);
    for (std::size_t v = 0; v < kValueColumns; ++v) chunk.values[v][i] = EncodeValue(r.*kValueFields[v]);
    current = count++;
  }

  LogRecord Record(std::size_t row) const {
    const TChunk& chunk = *chunks[row / kChunkRows];
    std::size_t i = row % kChunkRows;
    LogRecord r;
    r.ANo = chunk.no[i];
    r.ATime = DecodeTime(chunk.time[i]);
    DecodeTuple(chunk.tuple[i], r);
    for (std::size_t v = 0; v < kValueColumns; ++v) r.*kValueFields[v] = DecodeValue(chunk.values[v][i]);
    return r;
  }
};

TReadingLog::TReadingLog() : impl_(std::make_unique<TImpl>()) {}
TReadingLog::~TReadingLog() = default;
TReadingLog::TReadingLog(TReadingLog&& other) : impl_(std::make_unique<TImpl>()) { Swap(other); }
TReadingLog& TReadingLog::operator=(TReadingLog&& other) {
  Swap(other);
  return *this;
}
void TReadingLog::Swap(TReadingLog& other) {
  impl_.swap(other.impl_);
  Changed();
  other.Changed();
}

void TReadingLog::Changed() {
  if (updating_ > 0)
    changedWhileUpdating_ = true;
  else
    OnReset.Raise();
}

void TReadingLog::EndUpdate() {
  if (updating_ == 0 || --updating_ > 0) return;
  if (changedWhileUpdating_) {
    changedWhileUpdating_ = false;
    OnReset.Raise();
  }
}

std::size_t TReadingLog::Count() const { return impl_->count; }

LogRecord TReadingLog::Record(std::size_t row) const {
  if (row >= impl_->count) throw std::out_of_range("reading log row out of range");
  return impl_->Record(row);
}

void TReadingLog::Append(const LogRecord& record) {
  impl_->Append(record);
  if (updating_ > 0)
    changedWhileUpdating_ = true;
  else
    OnAppended.Raise(impl_->count - 1);
}

void TReadingLog::Clear() {
  impl_ = std::make_unique<TImpl>();
  Changed();
}

std::optional<std::size_t> TReadingLog::CurrentRow() const {
  if (impl_->count == 0) return std::nullopt;
  return impl_->current;
}

void TReadingLog::SetCurrentRow(std::size_t row) {
  if (row >= impl_->count) throw std::out_of_range("reading log row out of range");
  if (impl_->current == row) return;
  impl_->current = row;
  if (updating_ > 0)
    changedWhileUpdating_ = true;
  else
    OnCurrentRowChanged.Raise(row);
}

std::uint8_t TReadingLog::RowState(std::size_t row) const {
  const auto& states = impl_->packetStates;
  return row < states.size() ? states[row] : kRowInserted;
}

void TReadingLog::AppendPacketRow(const LogRecord& record, std::uint8_t rowState) {
  auto& states = impl_->packetStates;
  if (states.size() != impl_->count) throw std::logic_error("data packet rows must come before appended rows");
  states.push_back(rowState);
  try {
    impl_->Append(record);
  } catch (...) {
    states.pop_back();
    throw;
  }
  if (updating_ > 0)
    changedWhileUpdating_ = true;
  else
    OnAppended.Raise(impl_->count - 1);
}

}  // namespace qm
