// A simulated QM7310P: a deterministic model of the meter's functions, readings, annunciators and
// memory, driven by explicit time. It produces the bytes the meter puts on its serial line and
// reads the command bytes that come back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "common/MeterTypes.h"
#include "sim/SimMeterFrame.h"

namespace qm::sim {

struct TSimMeterConfig {
  std::uint64_t seed = 1;
  std::uint32_t framePeriodMs = 500;  // live frame period
  std::uint32_t ackTimeoutMs = 1000;  // an unacknowledged export frame is sent again after this
  int maxResends = 3;                 // resends of one export frame before the meter gives up the export
  std::size_t memoryCapacity = 99;
  bool preloadMemory = true;  // start with a handful of stored records
  TFunMode startFunction = fmPWRP;
  // The circuit under the clamp (single phase; three phases for the phase-sequence function).
  double voltage = 230.0;       // V RMS
  double current = 12.5;        // A RMS
  double phaseAngleDeg = 30.0;  // current behind voltage; negative for a capacitive load
  double frequencyHz = 50.0;
  double voltageThdPercent = 2.8;
  double currentThdPercent = 14.0;
  bool reversedPhaseSequence = false;
  bool lowBattery = false;
};

// What can go wrong on the line, applied on demand to the frames the meter sends next.
enum class TFault : std::uint8_t {
  None,           // a clean frame (useful to let frames pass before a fault)
  Garbage,        // a few noise bytes (never AB, 0D or 0A) just before the frame, in its chunk
  Split,          // the frame goes out in three chunks a little apart
  Burst,          // consecutive frames with this fault go out together in one chunk
  BadChecksum,    // the low sum byte is off by one
  CrLfInPayload,  // status bytes 3 and 4 are 0D 0A (CLR, MEM, MR and two selection marks), sum valid
  Truncated,      // only the first 20 bytes go out
};

// Bytes the meter put on the line in one go, stamped with the meter time they went out.
struct TChunk {
  std::uint64_t atMs = 0;
  std::vector<std::uint8_t> bytes;
};

// One frame the meter sent: what it meant to send and what went on the line for it.
struct TSentFrame {
  std::uint64_t atMs = 0;
  TMeterFrame frame;                // as composed, with the status a CrLfInPayload fault put in
  std::vector<std::uint8_t> bytes;  // the frame's own bytes as sent (without Garbage noise)
  TFault fault = TFault::None;

  // The bytes are the whole, valid frame (true also for Garbage, Split, Burst and CrLfInPayload).
  bool Intact() const { return fault != TFault::BadChecksum && fault != TFault::Truncated; }
};

struct TReceivedCommand {
  std::uint64_t atMs = 0;
  std::uint8_t code = 0;
  std::uint8_t sequence = 0;
};

class TSimMeter {
 public:
  static constexpr int kMaxHarmonicOrder = 50;

  explicit TSimMeter(TSimMeterConfig config = {});

  const TSimMeterConfig& Config() const { return config_; }
  std::uint64_t Now() const { return now_; }

  // Moves the meter's clock on; everything due before the new time happens, in order.
  void Advance(std::uint32_t ms);
  // Moves the clock to `nowMs`; a time in the past changes nothing.
  void Step(std::uint64_t nowMs);
  // Meter time at which something next happens: a frame, an export time-out, or a later piece of a
  // split frame coming due.
  std::uint64_t NextEventAt() const;
  // Chunks wait in the output (TakeOutput not called yet, or a split frame's pieces not yet due).
  bool OutputPending() const { return !output_.empty(); }

  // Bytes from the line (the host's commands), in chunks of any size; acted upon at once.
  void ReceiveBytes(const std::uint8_t* data, std::size_t size);

  // The chunks sent up to now, oldest first; later pieces of a split frame stay until their time.
  std::vector<TChunk> TakeOutput();
  // Advance(ms), then TakeOutput().
  std::vector<TChunk> Produce(std::uint32_t ms);

  // Applies `fault` to each of the next `frames` frames the meter sends (Burst: at least two).
  // Faults queue up in call order.
  void InjectFault(TFault fault, int frames = 1);
  // The meter sends nothing for `ms` from now; frames due meanwhile are lost.
  void Silence(std::uint32_t ms);

  // Every frame that went on the line, and every command frame accepted (good sum), in order.
  const std::vector<TSentFrame>& Sent() const { return sent_; }
  void ClearSent() { sent_.clear(); }
  const std::vector<TReceivedCommand>& Commands() const { return commands_; }

  // The stored records, oldest first, as they go out in an export (type kExportFrame).
  const std::vector<TMeterFrame>& Memory() const { return memory_; }
  TFunMode Function() const { return function_; }

 private:
  struct TSample {
    double volts, amps, angleDeg, hertz, voltageThd, currentThd;
    double phaseVolts[3];
  };
  struct TReading {
    TMeterScreen screen;
    double value = 0;  // the main display as a number, for MAX/MIN
  };
  enum class TRecall : std::uint8_t { Current, Max, Min };
  struct TExport {
    std::size_t next = 0;  // index of the record in flight; Memory().size() for the end marker
    TMeterFrame frame;
    std::uint64_t deadline = 0;
    int resends = 0;
  };

  std::uint64_t NextTickAt() const;
  void HandleEvent();
  void LiveTick();
  void Execute(std::uint8_t code);
  TSample NextSample();
  static double ActiveKW(const TSample& s);
  TReading Render() const;
  void Rerender();
  const TMeterScreen& Shown() const;
  TAnnunciators Annunciators() const;
  TMeterFrame LiveFrame() const;
  void SelectFunction(TFunMode function);
  void StepHarmonic(int delta);
  void CycleRecall();
  void SaveReading();
  void ClearMemory();
  void StartExport();
  void SendExportFrame();
  void OnExportAck();
  void OnExportTimeout();
  void EndExport();
  void Transmit(const TMeterFrame& frame);
  void Emit(std::vector<std::uint8_t> bytes, std::uint64_t atMs);
  std::vector<std::uint8_t> Garbage();
  std::uint64_t NextRandom();
  double Jitter();

  TSimMeterConfig config_;
  std::uint64_t random_;
  std::uint64_t now_ = 0;

  TFunMode function_ = fmPWRP;
  int harmonicOrder_ = 1;
  bool hold_ = false;
  TMeterScreen heldScreen_;
  TRecall recall_ = TRecall::Current;
  TReading extreme_;
  bool autoPowerOff_ = true;
  TSample sample_{};
  TReading current_;
  double energyKWh_ = 0;
  std::uint64_t energyStartAt_ = 0;
  std::uint64_t energyAt_ = 0;

  std::vector<TMeterFrame> memory_;
  bool memoryCleared_ = false;

  std::uint64_t nextLiveAt_ = 0;
  std::optional<TExport> export_;

  std::deque<TFault> faults_;
  std::vector<std::uint8_t> burst_;
  std::uint64_t silentUntil_ = 0;
  std::deque<TChunk> output_;
  std::uint64_t lastChunkAt_ = 0;

  TCommandReader reader_;
  std::vector<TSentFrame> sent_;
  std::vector<TReceivedCommand> commands_;
};

// All bytes of `chunks`, in order.
std::vector<std::uint8_t> Concat(const std::vector<TChunk>& chunks);

// A stream around one fault: one clean frame, the faulty frame (two for Burst), one clean frame.
std::vector<TChunk> FaultyStream(TSimMeter& meter, TFault fault);

}  // namespace qm::sim
