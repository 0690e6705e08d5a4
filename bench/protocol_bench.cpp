// Frames per second through chunk reception, dispatch and decoding, with no view attached.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "protocol/MeterProtocol.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::array<std::uint8_t, 15> kFunctionBytes = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                         '8', '9', 'a', 'b', 'c', 'd', 'e'};
constexpr int kFramesPerStream = 1024;

// A stream of valid live frames of varied functions, readings and annunciators.
Bytes MakeStream() {
  Bytes stream;
  for (int i = 0; i < kFramesPerStream; ++i) {
    Bytes frame = {0xAB, 0xCD, 0x1F, 0x4C, kFunctionBytes[i % kFunctionBytes.size()]};
    char reading[22];
    std::snprintf(reading, sizeof reading, "%3d%6.2f%6.1f%6.3f", i % 1000, i * 0.37, 230.0 - i % 17,
                  (i % 50) / 7.0);
    for (int k = 0; k < 21; ++k) frame.push_back(static_cast<std::uint8_t>(reading[k]));
    for (int k = 0; k < 5; ++k) frame.push_back(static_cast<std::uint8_t>((i >> k) & 0x0F));
    unsigned sum = 0;
    for (auto b : frame) sum += b;
    frame.insert(frame.end(), {static_cast<std::uint8_t>(sum >> 8), static_cast<std::uint8_t>(sum & 0xFF), 0x0D, 0x0A});
    stream.insert(stream.end(), frame.begin(), frame.end());
  }
  return stream;
}

class TCountingRecorder final : public qm::IMeterRecorder {
 public:
  std::int64_t rows = 0;
  void AppendReading(const qm::MeterReading&, bool) override { ++rows; }
  void TrackValueRange(double) override {}
  void CheckLimits(double) override {}
  bool IsSamplingTimerEnabled() const override { return false; }
};

void BM_ReceiveLiveFrames(benchmark::State& state) {
  const Bytes stream = MakeStream();
  const auto chunk = static_cast<std::size_t>(state.range(0));
  qm::TMeterProtocol proto(",");
  TCountingRecorder recorder;
  proto.SetRecorder(&recorder);

  for (auto _ : state) {
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
      std::size_t n = std::min(chunk, stream.size() - at);
      proto.CP21101ReceiveData(stream.data() + at, static_cast<std::int32_t>(n));
    }
    // One frame is cut per chunk: empty chunks bring out what larger chunks left behind.
    for (std::int64_t before = -1; before != recorder.rows;) {
      before = recorder.rows;
      proto.CP21101ReceiveData(nullptr, 0);
    }
  }
  const auto expected = static_cast<std::int64_t>(state.iterations()) * kFramesPerStream;
  if (recorder.rows != expected) state.SkipWithError("frames were lost");
  state.SetItemsProcessed(recorder.rows);
  state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(recorder.rows), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ReceiveLiveFrames)->ArgName("chunk")->Arg(1)->Arg(7)->Arg(35)->Arg(64);

}  // namespace

BENCHMARK_MAIN();
