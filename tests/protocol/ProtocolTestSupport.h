// Test-only helpers: meter frames built by hand (bytes + sum + terminator) and recording fakes of
// the protocol's ports that write into one shared journal, so tests can check the order of effects.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/ScriptedPrompt.h"
#include "protocol/MeterProtocol.h"
#include "protocol/MeterProtocolPorts.h"

namespace qm::test {

using Bytes = std::vector<std::uint8_t>;

// Appends the 16-bit big-endian sum of all bytes so far and the 0D 0A terminator.
inline Bytes Seal(Bytes body) {
  unsigned sum = 0;
  for (auto b : body) sum += b;
  body.push_back(static_cast<std::uint8_t>(sum >> 8));
  body.push_back(static_cast<std::uint8_t>(sum & 0xFF));
  body.push_back(0x0D);
  body.push_back(0x0A);
  return body;
}

inline constexpr std::uint8_t kLive = 0x4C;
inline constexpr std::uint8_t kExport = 0x45;

// A full 35-byte frame; `reading` is padded with blanks (or cut) to 21 characters.
inline Bytes Frame(std::uint8_t type, std::uint8_t function, std::string reading = "  0     0     0     0",
                   std::array<std::uint8_t, 5> status = {}) {
  reading.resize(21, ' ');
  Bytes body = {0xAB, 0xCD, 0x1F, type, function};
  for (char c : reading) body.push_back(static_cast<std::uint8_t>(c));
  for (auto b : status) body.push_back(b);
  return Seal(body);
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline std::string Hex(const Bytes& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (auto b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

inline std::string ControlName(TLcdControl c) {
  static constexpr std::array<const char*, kLcdControlCount> kNames = {
      "lcdUnit",    "lcdSubUnit1", "lcdSubUnit2", "lcdAC",       "lcdAC2",      "lcdAC3",     "lcdCosSin",
      "lcdTime",    "lcdRstA",     "lcdTHD",      "lcdHold",     "lcdLowPower", "lcdWarning", "lcdAutoPower",
      "lcdRstB2",   "lcdRstB1",    "lcdMemClr",   "lcdMemFull",  "lcdMem",      "lcdMr",      "lcdSum",
      "lcdSelect3", "lcdSelect2",  "lcdSelect1",  "lcdMin",      "lcdMax",      "lcdW",       "lcdDisplay0",
      "lcdDisplay1", "lcdDisplay2", "lcdDisplay3", "pnlLoadLog", "lblLoading",  "Panel3",     "Panel7"};
  return kNames[static_cast<std::size_t>(c)];
}

inline std::string Utf8(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

struct Journal {
  std::vector<std::string> entries;
  void Add(std::string e) { entries.push_back(std::move(e)); }
  std::size_t Count(std::string_view entry) const {
    std::size_t n = 0;
    for (const auto& e : entries) n += e == entry;
    return n;
  }
  // Position of the first entry equal to `entry`, or -1.
  int IndexOf(std::string_view entry) const {
    for (std::size_t i = 0; i < entries.size(); ++i)
      if (entries[i] == entry) return static_cast<int>(i);
    return -1;
  }
  // Position of the first entry starting with `prefix`, or -1.
  int IndexOfPrefix(std::string_view prefix) const {
    for (std::size_t i = 0; i < entries.size(); ++i)
      if (std::string_view(entries[i]).starts_with(prefix)) return static_cast<int>(i);
    return -1;
  }
};

// Journal entries: "caption <control>=<bytes>", "wide <control>=<utf-8>", "visible <control>=0|1",
// "activity 0|1", "pause <pressed> <red> <caption>", "commands 0|1".
class FakeView : public IMeterView {
 public:
  explicit FakeView(Journal& j) : journal_(j) {}

  std::map<TLcdControl, std::string> caption;
  std::map<TLcdControl, std::u16string> wide;
  std::map<TLcdControl, bool> visible;

  void SetCaption(TLcdControl c, std::string_view bytes) override {
    caption[c] = bytes;
    journal_.Add("caption " + ControlName(c) + "=" + std::string(bytes));
  }
  void SetWideCaption(TLcdControl c, std::u16string_view text) override {
    wide[c] = text;
    journal_.Add("wide " + ControlName(c) + "=" + Utf8(text));
  }
  void SetVisible(TLcdControl c, bool v) override {
    visible[c] = v;
    journal_.Add("visible " + ControlName(c) + "=" + (v ? "1" : "0"));
  }
  void SetActivityIndicator(bool conOk) override { journal_.Add(std::string("activity ") + (conOk ? "1" : "0")); }
  void SetPauseButton(bool pressed, bool red, std::string_view text) override {
    journal_.Add("pause " + std::to_string(pressed) + " " + std::to_string(red) + " " + std::string(text));
  }
  void SetCommandPanelEnabled(bool enabled) override { journal_.Add(std::string("commands ") + (enabled ? "1" : "0")); }

 private:
  Journal& journal_;
};

// Journal entries: "append <NoTime>", "track <v>", "limits <v>".
class FakeRecorder : public IMeterRecorder {
 public:
  explicit FakeRecorder(Journal& j) : journal_(j) {}

  bool samplingTimer = false;
  std::vector<MeterReading> appended;
  std::vector<bool> appendedNoTime;
  std::vector<double> tracked, checked;

  void AppendReading(const MeterReading& r, bool noTime) override {
    appended.push_back(r);
    appendedNoTime.push_back(noTime);
    journal_.Add("append " + std::to_string(noTime));
  }
  void TrackValueRange(double v) override {
    tracked.push_back(v);
    journal_.Add("track");
  }
  void CheckLimits(double v) override {
    checked.push_back(v);
    journal_.Add("limits");
  }
  bool IsSamplingTimerEnabled() const override { return samplingTimer; }

  void Clear() {
    appended.clear();
    appendedNoTime.clear();
    tracked.clear();
    checked.clear();
  }

 private:
  Journal& journal_;
};

// Journal entry: "write <hex>".
class FakeWriter : public ICommandWriter {
 public:
  explicit FakeWriter(Journal& j) : journal_(j) {}

  bool open = true;
  bool writeResult = true;
  std::vector<Bytes> written;

  bool IsOpen() const override { return open; }
  bool Write(const std::uint8_t* data, std::int32_t length) override {
    written.emplace_back(data, data + length);
    journal_.Add("write " + Hex(written.back()));
    return writeResult;
  }

 private:
  Journal& journal_;
};

class FakeWatchdog : public ILinkWatchdog {
 public:
  int restarts = 0;
  void RestartWatchdog() override { ++restarts; }
};

// Journal entry: "information <text>".
class JournalPrompt : public ScriptedPrompt {
 public:
  explicit JournalPrompt(Journal& j) : journal_(j) {}

  // Runs while the box is "open", as a GUI's modal loop may deliver the next chunk.
  std::function<void()> whileOpen;

  void Information(const std::string& text) override {
    ScriptedPrompt::Information(text);
    journal_.Add("information " + text);
    if (whileOpen) whileOpen();
  }

 private:
  Journal& journal_;
};

// A protocol with every port wired to a fake.
struct WiredProtocol {
  explicit WiredProtocol(std::string separator = ".") : proto(std::move(separator)) {
    proto.SetView(&view);
    proto.SetRecorder(&recorder);
    proto.SetPrompt(&prompt);
    proto.SetWatchdog(&watchdog);
    proto.SetWriter(&writer);
  }

  void Feed(const Bytes& chunk) { proto.CP21101ReceiveData(chunk.data(), static_cast<std::int32_t>(chunk.size())); }
  // Frames dispatched so far (each toggles the activity indicator exactly once).
  std::size_t Dispatched() const { return journal.Count("activity 0") + journal.Count("activity 1"); }

  Journal journal;
  FakeView view{journal};
  FakeRecorder recorder{journal};
  JournalPrompt prompt{journal};
  FakeWatchdog watchdog;
  FakeWriter writer{journal};
  TMeterProtocol proto;
};

}  // namespace qm::test
