// Writes the seed corpus of the frame codec fuzz target from the simulated meter: live frames of
// every function in the meter's own chunks, each line fault, a whole memory download with its
// acknowledgements, and the window's buttons between frames.
//   make_frame_seeds DIR
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FrameCodecInput.h"
#include "protocol/MeterProtocol.h"
#include "sim/SimMeter.h"

namespace {

using qm::fuzz::ActionStep;
using qm::sim::TChunk;
using Bytes = std::vector<std::uint8_t>;

// Builds one input: meter bytes at the front, steps (read from the back) reversed at the end.
class TSeed {
 public:
  void Action(qm::fuzz::TAction action) { steps_.push_back(ActionStep(action)); }
  void Chunk(const Bytes& bytes) {
    std::size_t at = 0;
    do {  // an empty chunk stays one empty step
      const std::size_t n = std::min<std::size_t>(bytes.size() - at, qm::fuzz::kFirstAction - 1);
      steps_.push_back(static_cast<std::uint8_t>(n));
      data_.insert(data_.end(), bytes.begin() + at, bytes.begin() + at + n);
      at += n;
    } while (at < bytes.size());
  }
  void Chunks(const std::vector<TChunk>& chunks) {
    for (const auto& c : chunks) Chunk(c.bytes);
  }
  bool Write(const std::string& path) const {
    Bytes out = data_;
    out.insert(out.end(), steps_.rbegin(), steps_.rend());
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(f);
  }

 private:
  Bytes data_;
  Bytes steps_;
};

std::vector<TChunk> LiveFrames(qm::sim::TSimMeter& meter, std::size_t frames) {
  std::vector<TChunk> out;
  const std::size_t until = meter.Sent().size() + frames;
  while (meter.Sent().size() < until || meter.OutputPending()) {
    auto chunks = meter.Produce(meter.Sent().size() < until ? meter.Config().framePeriodMs : 1);
    out.insert(out.end(), chunks.begin(), chunks.end());
  }
  return out;
}

// The host side of a memory download: command frames go straight to the meter.
class TMeterWriter : public qm::ICommandWriter {
 public:
  explicit TMeterWriter(qm::sim::TSimMeter& meter) : meter_(meter) {}
  bool IsOpen() const override { return true; }
  bool Write(const std::uint8_t* data, std::int32_t length) override {
    meter_.ReceiveBytes(data, static_cast<std::size_t>(length));
    return true;
  }

 private:
  qm::sim::TSimMeter& meter_;
};

using qm::fuzz::TYesPrompt;

// Live frames, "ExportMemoryData", the download with the host's acknowledgements, live frames again.
TSeed Download() {
  qm::sim::TSimMeter meter({.memoryCapacity = 6});
  TYesPrompt prompt;
  TMeterWriter writer(meter);
  qm::TMeterProtocol protocol;
  protocol.SetWriter(&writer);
  protocol.SetPrompt(&prompt);

  TSeed seed;
  seed.Chunks(LiveFrames(meter, 2));
  seed.Action(qm::fuzz::acExport);
  protocol.btnExportDataClick();
  bool ended = false;
  for (int tick = 0; tick < 2000 && !(ended && !meter.OutputPending()); ++tick) {
    for (const auto& chunk : meter.Produce(10)) {
      seed.Chunk(chunk.bytes);
      protocol.CP21101ReceiveData(chunk.bytes.data(), static_cast<std::int32_t>(chunk.bytes.size()));
      while (protocol.ReceiveBuffer().find("0D0A") != std::string_view::npos) protocol.CP21101ReceiveData(nullptr, 0);
    }
    for (const auto& sent : meter.Sent()) ended = ended || sent.frame.function == qm::fmExportEnd;
  }
  seed.Action(qm::fuzz::acLogModeOff);
  seed.Chunks(LiveFrames(meter, 2));
  return seed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_frame_seeds DIR\n";
    return 2;
  }
  const std::string dir = argv[1];
  std::vector<std::pair<std::string, TSeed>> seeds;

  for (int f = qm::fmPWRP; f <= qm::fmIHARM; ++f) {
    qm::sim::TSimMeter meter({.seed = static_cast<std::uint64_t>(f), .startFunction = static_cast<qm::TFunMode>(f)});
    TSeed seed;
    seed.Chunks(LiveFrames(meter, 3));
    seeds.emplace_back("live-" + std::string(qm::FunModeLogName(static_cast<qm::TFunMode>(f))), std::move(seed));
  }

  const std::pair<const char*, qm::sim::TFault> faults[] = {
      {"garbage", qm::sim::TFault::Garbage},         {"split", qm::sim::TFault::Split},
      {"burst", qm::sim::TFault::Burst},             {"bad-checksum", qm::sim::TFault::BadChecksum},
      {"crlf-in-payload", qm::sim::TFault::CrLfInPayload}, {"truncated", qm::sim::TFault::Truncated},
  };
  for (const auto& [name, fault] : faults) {
    qm::sim::TSimMeter meter;
    TSeed seed;
    seed.Chunks(qm::sim::FaultyStream(meter, fault));
    seeds.emplace_back(std::string("fault-") + name, std::move(seed));
  }

  {  // One byte at a time: every split of a frame, the terminator's included.
    qm::sim::TSimMeter meter;
    TSeed seed;
    for (std::uint8_t b : qm::sim::Concat(LiveFrames(meter, 2))) seed.Chunk({b});
    seeds.emplace_back("bytewise", std::move(seed));
  }

  {  // The buttons between frames: log mode, the sampling timer, limits, clearing, the chart pages.
    qm::sim::TSimMeter meter;
    TSeed seed;
    seed.Action(qm::fuzz::acLimits);
    seed.Chunks(LiveFrames(meter, 2));
    seed.Action(qm::fuzz::acLogModeOn);
    seed.Chunks(LiveFrames(meter, 1));
    seed.Action(qm::fuzz::acLogModeOff);
    seed.Action(qm::fuzz::acSamplingOn);
    seed.Chunks(LiveFrames(meter, 1));
    seed.Action(qm::fuzz::acSamplingTick);
    seed.Action(qm::fuzz::acSamplingOff);
    seed.Action(qm::fuzz::acChartRange);
    seed.Action(qm::fuzz::acChartRange);
    seed.Chunks(LiveFrames(meter, 3));
    seed.Action(qm::fuzz::acChartFirst);
    seed.Action(qm::fuzz::acChartNext);
    seed.Action(qm::fuzz::acChartPrior);
    seed.Action(qm::fuzz::acChartLast);
    seed.Action(qm::fuzz::acRecordLimit);
    seed.Action(qm::fuzz::acClearLog);
    seed.Chunks(LiveFrames(meter, 1));
    seeds.emplace_back("buttons", std::move(seed));
  }

  seeds.emplace_back("download", Download());

  {  // Noise with no terminator beyond what the receive buffer keeps, then a good frame.
    qm::sim::TSimMeter meter;
    TSeed seed;
    seed.Chunk(Bytes(qm::TMeterProtocol::kMaxPendingBytes + 100, 0x11));
    seed.Chunks(LiveFrames(meter, 2));
    seeds.emplace_back("overflow", std::move(seed));
  }

  for (const auto& [name, seed] : seeds) {
    if (!seed.Write(dir + "/" + name + ".bin")) {
      std::cerr << "cannot write " << dir << "/" << name << ".bin\n";
      return 1;
    }
  }
  std::printf("%zu seeds in %s\n", seeds.size(), dir.c_str());
  return 0;
}
