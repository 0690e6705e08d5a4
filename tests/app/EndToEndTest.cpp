// The simulated meter's byte stream through the session's protocol core: what the meter sent is
// what the program decodes, over arbitrary chunk splits, and what the reassembly rules drop when
// noise runs into frames sent back to back.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/ScriptedPrompt.h"
#include "app/MeterSession.h"
#include "sim/SimMeter.h"
#include "sim/SimMeterFrame.h"

namespace qm {
namespace {

struct TDecoded {
  TFunMode function;
  std::string aux, value, sub1, sub2, unit;
};

// The commands the protocol sends go straight into the meter.
class TMeterWriter : public ICommandWriter {
 public:
  explicit TMeterWriter(sim::TSimMeter& meter) : meter_(meter) {}
  bool IsOpen() const override { return true; }
  bool Write(const std::uint8_t* data, std::int32_t length) override {
    meter_.ReceiveBytes(data, static_cast<std::size_t>(length));
    return true;
  }

 private:
  sim::TSimMeter& meter_;
};

std::string WithSeparator(std::string text, const std::string& sep) {
  std::string out;
  for (char c : text) out += c == '.' ? sep : std::string(1, c);
  return out;
}

class EndToEnd : public ::testing::TestWithParam<std::string> {
 protected:
  EndToEnd() : session_(prompt_, {GetParam(), ":", [] { return TLocalTime{}; }}), writer_(meter_) {
    session_.Protocol().SetWriter(&writer_);
    session_.OnReadingDecoded.Add([this](TMeterSession::TReadingKind kind) {
      if (kind != TMeterSession::TReadingKind::Live) return;
      const MeterReading& r = session_.Protocol().Reading();
      decoded_.push_back({r.FunMode, r.AuxValue, r.Value, r.SubValue1, r.SubValue2, r.Unit});
    });
  }

  // Feeds each chunk the meter sent split at random points into up to four pieces.
  void FeedSplit(const std::vector<sim::TChunk>& chunks) {
    for (const auto& chunk : chunks) {
      std::size_t at = 0;
      while (at < chunk.bytes.size()) {
        std::size_t left = chunk.bytes.size() - at;
        std::size_t n = std::uniform_int_distribution<std::size_t>(1, left)(rng_);
        session_.ReceiveData(chunk.bytes.data() + at, static_cast<std::int32_t>(n));
        at += n;
      }
    }
  }

  test::ScriptedPrompt prompt_;
  TMeterSession session_;
  sim::TSimMeter meter_;
  TMeterWriter writer_;
  std::mt19937 rng_{20261210};
  std::vector<TDecoded> decoded_;
};

TEST_P(EndToEnd, EveryLiveFrameOfEveryFunctionIsDecodedAsSent) {
  // Step through all fifteen functions with the meter's keys, a few frames each: Select within a
  // group of functions, Menu on to the next group once Select has come round.
  std::vector<bool> visited(kFunModeCount, false);
  for (int step = 0; step < 40; ++step) {
    visited[meter_.Function()] = true;
    FeedSplit(meter_.Produce(2000));
    session_.Protocol().SendCommand(73);  // Select
    if (visited[meter_.Function()]) session_.Protocol().SendCommand(67);  // Menu
  }
  FeedSplit(meter_.Produce(2000));

  std::vector<TDecoded> expected;
  for (const auto& sent : meter_.Sent()) {
    if (sent.frame.type != sim::kLiveFrame) continue;
    const auto& s = sent.frame.screen;
    expected.push_back({sent.frame.function, s.aux, WithSeparator(s.main, GetParam()),
                        WithSeparator(s.sub1, GetParam()), WithSeparator(s.sub2, GetParam()), {}});
  }
  ASSERT_GE(expected.size(), 15u * 4);
  ASSERT_EQ(decoded_.size(), expected.size());
  std::vector<bool> seen(kFunModeCount, false);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(decoded_[i].function, expected[i].function);
    EXPECT_EQ(decoded_[i].aux, expected[i].aux);
    EXPECT_EQ(decoded_[i].value, expected[i].value);
    EXPECT_EQ(decoded_[i].sub1, expected[i].sub1);
    EXPECT_EQ(decoded_[i].sub2, expected[i].sub2);
    seen[decoded_[i].function] = true;
  }
  for (int f = fmPWRP; f <= fmIHARM; ++f) EXPECT_TRUE(seen[f]) << FunModeIdent(static_cast<TFunMode>(f));
  EXPECT_EQ(session_.Log().Count(), expected.size());
}

INSTANTIATE_TEST_SUITE_P(DecimalSeparators, EndToEnd, ::testing::Values(".", ","));

TEST(EndToEndReassembly, NoiseBeforeBackToBackFramesLosesBothAndTheNextFrameStands) {
  test::ScriptedPrompt prompt;
  TMeterSession session(prompt);
  std::vector<std::string> values;
  session.OnReadingDecoded.Add([&](TMeterSession::TReadingKind) { values.push_back(session.Protocol().Reading().Value); });

  auto frame = [](const char* main) {
    sim::TMeterFrame f;
    f.screen.main = main;
    auto bytes = sim::EncodeMeterFrame(f);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
  };
  // Noise, then two frames in one chunk: the first terminator finds the buffer not starting with
  // the start bytes, and the whole buffer goes, the second frame with it.
  std::vector<std::uint8_t> chunk = {0x11, 0x22, 0x33};
  for (auto* v : {" 1.000", " 2.000"}) {
    auto f = frame(v);
    chunk.insert(chunk.end(), f.begin(), f.end());
  }
  session.ReceiveData(chunk.data(), static_cast<std::int32_t>(chunk.size()));
  auto third = frame(" 3.000");
  session.ReceiveData(third.data(), static_cast<std::int32_t>(third.size()));

  EXPECT_EQ(values, std::vector<std::string>{" 3.000"});
  EXPECT_TRUE(session.Protocol().ReceiveBuffer().empty());
}

}  // namespace
}  // namespace qm
