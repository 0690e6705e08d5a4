#include "sim/SimMeter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>

namespace qm::sim {
namespace {

constexpr std::size_t kTruncatedSize = 20;
constexpr std::size_t kGarbageSize = 7;
constexpr int kSplitPieces = 3;
constexpr std::uint64_t kSplitGapMs = 20;
constexpr double kHazardousVolts = 30.0;
constexpr std::uint64_t kHourMs = 3'600'000;

// Groups of related functions: Menu jumps to the first function of the next group, Select steps
// to the next function whatever its group.
struct TGroup {
  TFunMode first, last;
};
constexpr TGroup kGroups[] = {
    {fmPWRP, fmPWRQ}, {fmPF, fmRF},       {fmANG, fmANG},     {fmFRQ, fmFRQ},
    {fmENRP, fmENRP}, {fmPHSEQ, fmPHSEQ}, {fmVTHDf, fmVHARM}, {fmITHDf, fmIHARM},
};

// Functions measured into memory before the first start, so that a download shows something.
constexpr TFunMode kPreloaded[] = {fmPWRP, fmPWRS, fmPF, fmFRQ, fmVHARM};

const TGroup& GroupOf(TFunMode function) {
  return *std::find_if(std::begin(kGroups), std::end(kGroups),
                       [&](const TGroup& g) { return function >= g.first && function <= g.last; });
}

TFunMode NextFunction(TFunMode function) { return function == fmIHARM ? fmPWRP : static_cast<TFunMode>(function + 1); }

TFunMode NextGroup(TFunMode function) {
  const TGroup& g = GroupOf(function);
  return g.last == fmIHARM ? fmPWRP : static_cast<TFunMode>(g.last + 1);
}

double Radians(double degrees) { return degrees * std::numbers::pi / 180; }

bool IsHarmonic(TFunMode function) { return function == fmVHARM || function == fmIHARM; }

std::string Blank() { return std::string(kDisplayWidth, ' '); }

// Four significant digits, auto-ranged, with a leading minus when negative; "OL" beyond 9999.
std::string FourDigits(double value) {
  const double magnitude = std::fabs(value);
  if (!(magnitude < 9999.5)) return "  OL  ";
  const int decimals = magnitude < 9.9995 ? 3 : magnitude < 99.995 ? 2 : magnitude < 999.95 ? 1 : 0;
  char buffer[16];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
  std::string text(buffer, end);
  if (text.front() == '-' && text.find_first_of("123456789") == std::string::npos) text.erase(0, 1);
  return FitDisplay(text, kDisplayWidth);
}

std::string TwoDigits(std::uint64_t value) { return (value < 10 ? "0" : "") + std::to_string(value); }

// Energy counting time: m.ss for the first hour, then h.mm (the time-format mark says which).
std::string ElapsedText(std::uint64_t ms) {
  const std::uint64_t seconds = ms / 1000;
  if (seconds < 3600) return FitDisplay(TwoDigits(seconds / 60) + "." + TwoDigits(seconds % 60), kDisplayWidth);
  const std::uint64_t hours = std::min<std::uint64_t>(seconds / 3600, 999);
  return FitDisplay(TwoDigits(hours) + "." + TwoDigits(seconds / 60 % 60), kDisplayWidth);
}

// Share of harmonic `order` in per cent of the fundamental: odd harmonics falling off as 1/n and
// adding up to the given THD, even ones absent.
double HarmonicPercent(int order, double thdPercent) {
  if (order == 1) return 100.0;
  if (order % 2 == 0) return 0.0;
  static const double norm = [] {
    double sum = 0;
    for (int n = 3; n <= TSimMeter::kMaxHarmonicOrder; n += 2) sum += 1.0 / (n * n);
    return std::sqrt(sum);
  }();
  return thdPercent / order / norm;
}

// Total RMS value over the fundamental's, for a THD relative to the fundamental.
double RmsOverFundamental(double thdPercent) { return std::sqrt(1.0 + thdPercent * thdPercent / 1e4); }

// THD relative to the total RMS value.
double ThdOfTotal(double thdPercent) { return thdPercent / RmsOverFundamental(thdPercent); }

double Fundamental(double rms, double thdPercent) { return rms / RmsOverFundamental(thdPercent); }

TMeterFrame EndMarker() { return {kExportFrame, fmExportEnd, {}, {}}; }

}  // namespace

TSimMeter::TSimMeter(TSimMeterConfig config) : config_(config), random_(config.seed) {
  config_.framePeriodMs = std::max<std::uint32_t>(config_.framePeriodMs, 1);
  config_.ackTimeoutMs = std::max<std::uint32_t>(config_.ackTimeoutMs, 1);
  config_.maxResends = std::max(config_.maxResends, 0);
  if (config_.preloadMemory) {
    for (TFunMode f : kPreloaded) {
      if (memory_.size() >= config_.memoryCapacity) break;
      function_ = f;
      harmonicOrder_ = IsHarmonic(f) ? 3 : 1;
      sample_ = NextSample();
      current_ = Render();
      SaveReading();
    }
    harmonicOrder_ = 1;
  }
  const bool measuring = config_.startFunction >= fmPWRP && config_.startFunction <= fmIHARM;
  function_ = measuring ? config_.startFunction : fmPWRP;
  sample_ = NextSample();
  current_ = Render();
}

std::uint64_t TSimMeter::NextTickAt() const { return export_ ? export_->deadline : nextLiveAt_; }

std::uint64_t TSimMeter::NextEventAt() const {
  const std::uint64_t tick = NextTickAt();
  return output_.empty() ? tick : std::min(tick, output_.front().atMs);
}

void TSimMeter::Advance(std::uint32_t ms) { Step(now_ + ms); }

void TSimMeter::Step(std::uint64_t nowMs) {
  while (NextTickAt() < nowMs) {
    now_ = std::max(now_, NextTickAt());
    HandleEvent();
  }
  now_ = std::max(now_, nowMs);
}

void TSimMeter::HandleEvent() {
  if (export_) {
    OnExportTimeout();
    return;
  }
  LiveTick();
  nextLiveAt_ = now_ + config_.framePeriodMs;
}

void TSimMeter::LiveTick() {
  sample_ = NextSample();
  if (function_ == fmENRP) {
    energyKWh_ += ActiveKW(sample_) * static_cast<double>(now_ - energyAt_) / kHourMs;
    energyAt_ = now_;
  }
  current_ = Render();
  if ((recall_ == TRecall::Max && current_.value > extreme_.value) ||
      (recall_ == TRecall::Min && current_.value < extreme_.value)) {
    extreme_ = current_;
  }
  Transmit(LiveFrame());
}

TSimMeter::TSample TSimMeter::NextSample() {
  TSample s{};
  s.volts = config_.voltage * (1 + 0.003 * Jitter());
  s.amps = config_.current * (1 + 0.01 * Jitter());
  s.angleDeg = config_.phaseAngleDeg + 0.5 * Jitter();
  s.hertz = config_.frequencyHz + 0.02 * Jitter();
  s.voltageThd = config_.voltageThdPercent * (1 + 0.02 * Jitter());
  s.currentThd = config_.currentThdPercent * (1 + 0.02 * Jitter());
  for (double& v : s.phaseVolts) v = config_.voltage * (1 + 0.003 * Jitter());
  return s;
}

double TSimMeter::ActiveKW(const TSample& s) { return s.volts * s.amps * std::cos(Radians(s.angleDeg)) / 1000; }

TSimMeter::TReading TSimMeter::Render() const {
  const TSample& s = sample_;
  const double radians = Radians(s.angleDeg);
  const double kva = s.volts * s.amps / 1000;
  auto reading = [](double main, std::string sub1, std::string sub2) {
    return TReading{{std::string(kAuxWidth, ' '), FourDigits(main), std::move(sub1), std::move(sub2)}, main};
  };
  auto harmonic = [&](double rms, double thd) {
    const double percent = HarmonicPercent(harmonicOrder_, thd);
    TReading r = reading(Fundamental(rms, thd) * percent / 100, Blank(), FourDigits(percent));
    r.screen.aux = FitDisplay(std::to_string(harmonicOrder_), kAuxWidth);
    return r;
  };
  switch (function_) {
    case fmPWRP:
      return reading(ActiveKW(s), FourDigits(s.volts), FourDigits(s.amps));
    case fmPWRS:
      return reading(kva, FourDigits(s.volts), FourDigits(s.amps));
    case fmPWRQ:
      return reading(kva * std::sin(radians), FourDigits(s.volts), FourDigits(s.amps));
    case fmPF:
      return reading(std::cos(radians), FourDigits(s.volts), FourDigits(s.amps));
    case fmRF:
      return reading(std::sin(radians), FourDigits(s.volts), FourDigits(s.amps));
    case fmANG:
      return reading(s.angleDeg, FourDigits(s.volts), FourDigits(s.amps));
    case fmFRQ:
      return reading(s.hertz, FourDigits(s.volts), FourDigits(s.amps));
    case fmENRP:
      return reading(energyKWh_, FourDigits(ActiveKW(s)), ElapsedText(energyAt_ - energyStartAt_));
    case fmPHSEQ:
      return reading(s.phaseVolts[0], FourDigits(s.phaseVolts[1]), FourDigits(s.phaseVolts[2]));
    case fmVTHDf:
      return reading(s.volts, Blank(), FourDigits(s.voltageThd));
    case fmVTHDr:
      return reading(s.volts, Blank(), FourDigits(ThdOfTotal(s.voltageThd)));
    case fmVHARM:
      return harmonic(s.volts, s.voltageThd);
    case fmITHDf:
      return reading(s.amps, Blank(), FourDigits(s.currentThd));
    case fmITHDr:
      return reading(s.amps, Blank(), FourDigits(ThdOfTotal(s.currentThd)));
    case fmIHARM:
      return harmonic(s.amps, s.currentThd);
    default:
      return {};
  }
}

const TMeterScreen& TSimMeter::Shown() const {
  if (hold_) return heldScreen_;
  return recall_ == TRecall::Current ? current_.screen : extreme_.screen;
}

TAnnunciators TSimMeter::Annunciators() const {
  TAnnunciators a;
  a.hold = hold_;
  a.lowBattery = config_.lowBattery;
  a.warning = sample_.volts >= kHazardousVolts;
  a.autoPowerOff = autoPowerOff_;
  a.markB2 = function_ == fmPHSEQ && !config_.reversedPhaseSequence;
  a.markB1 = function_ == fmPHSEQ && config_.reversedPhaseSequence;
  a.memClear = memoryCleared_;
  a.memFull = memory_.size() >= config_.memoryCapacity;
  a.mem = !memory_.empty();
  a.max = recall_ == TRecall::Max;
  a.min = recall_ == TRecall::Min;
  a.timeFormat = function_ == fmENRP && energyAt_ - energyStartAt_ >= kHourMs;
  a.w = function_ == fmPWRP || function_ == fmENRP;
  return a;
}

TMeterFrame TSimMeter::LiveFrame() const { return {kLiveFrame, function_, Shown(), Annunciators().StatusBytes()}; }

void TSimMeter::ReceiveBytes(const std::uint8_t* data, std::size_t size) {
  std::vector<TCommand> commands;
  reader_.Feed(data, size, commands);
  for (const TCommand& c : commands) {
    commands_.push_back({now_, c.code, c.sequence});
    Execute(c.code);
  }
}

void TSimMeter::Execute(std::uint8_t code) {
  // While exporting, the meter listens for acknowledgements only.
  if (export_) {
    if (code == mcExportAck) OnExportAck();
    return;
  }
  switch (code) {
    case mcHold:
      if (!hold_) heldScreen_ = Shown();
      hold_ = !hold_;
      break;
    case mcMenu:
      SelectFunction(NextGroup(function_));
      break;
    case mcSelect:
      SelectFunction(NextFunction(function_));
      break;
    case mcUp:
      StepHarmonic(1);
      break;
    case mcDown:
      StepHarmonic(-1);
      break;
    case mcMaxMinCur:
      CycleRecall();
      break;
    case mcSaveData:
      SaveReading();
      break;
    case mcClearMemory:
      ClearMemory();
      break;
    case mcAutoPowerOff:
      autoPowerOff_ = false;
      break;
    case mcAutoPower10:
    case mcAutoPower20:
    case mcAutoPower30:
      autoPowerOff_ = true;
      break;
    case mcExportMemory:
      StartExport();
      break;
    default:
      break;  // back light, frequency mode, sum, load and auto modes: nothing the frames show
  }
}

// A new function or harmonic order is a new measurement: hold and MAX/MIN end with it.
void TSimMeter::Rerender() {
  hold_ = false;
  recall_ = TRecall::Current;
  current_ = Render();
}

void TSimMeter::SelectFunction(TFunMode function) {
  if (function == function_) return;
  function_ = function;
  if (function_ == fmENRP) {
    energyKWh_ = 0;
    energyStartAt_ = energyAt_ = now_;
  }
  Rerender();
}

void TSimMeter::StepHarmonic(int delta) {
  if (!IsHarmonic(function_)) return;
  harmonicOrder_ = (harmonicOrder_ - 1 + delta + kMaxHarmonicOrder) % kMaxHarmonicOrder + 1;
  Rerender();
}

void TSimMeter::CycleRecall() {
  switch (recall_) {
    case TRecall::Current:
      recall_ = TRecall::Max;
      break;
    case TRecall::Max:
      recall_ = TRecall::Min;
      break;
    case TRecall::Min:
      recall_ = TRecall::Current;
      return;
  }
  extreme_ = current_;
}

void TSimMeter::SaveReading() {
  if (memory_.size() >= config_.memoryCapacity) return;
  memory_.push_back({kExportFrame, function_, Shown(), Annunciators().StatusBytes()});
  memoryCleared_ = false;
}

void TSimMeter::ClearMemory() {
  memory_.clear();
  memoryCleared_ = true;
}

void TSimMeter::StartExport() {
  export_ = TExport{};
  SendExportFrame();
}

void TSimMeter::SendExportFrame() {
  TExport& e = *export_;
  e.frame = e.next < memory_.size() ? memory_[e.next] : EndMarker();
  Transmit(e.frame);
  e.deadline = now_ + config_.ackTimeoutMs;
}

void TSimMeter::OnExportAck() {
  TExport& e = *export_;
  if (e.next >= memory_.size()) {
    EndExport();
    return;
  }
  ++e.next;
  e.resends = 0;
  SendExportFrame();
}

// An unacknowledged record goes out again; after maxResends the host is taken to be gone and the
// meter goes back to live frames rather than stay silent for ever. The end marker is not sent
// again: the program acknowledges it only once its user has closed the completion box, and a
// second marker would show that box twice; its time-out just resumes the live frames.
void TSimMeter::OnExportTimeout() {
  TExport& e = *export_;
  if (e.next >= memory_.size() || e.resends >= config_.maxResends) {
    EndExport();
    return;
  }
  ++e.resends;
  Transmit(e.frame);
  e.deadline = now_ + config_.ackTimeoutMs;
}

void TSimMeter::EndExport() {
  export_.reset();
  nextLiveAt_ = now_;
}

void TSimMeter::Transmit(const TMeterFrame& frame) {
  if (now_ < silentUntil_) return;
  TFault fault = TFault::None;
  if (!faults_.empty()) {
    fault = faults_.front();
    faults_.pop_front();
  }
  TMeterFrame sent = frame;
  if (fault == TFault::CrLfInPayload) {
    sent.status[2] = 0x0D;
    sent.status[3] = 0x0A;
  }
  const auto encoded = EncodeMeterFrame(sent);
  std::vector<std::uint8_t> bytes(encoded.begin(), encoded.end());
  if (fault == TFault::BadChecksum) ++bytes[32];
  if (fault == TFault::Truncated) bytes.resize(kTruncatedSize);
  sent_.push_back({now_, sent, bytes, fault});

  switch (fault) {
    case TFault::Garbage: {
      std::vector<std::uint8_t> chunk = Garbage();
      chunk.insert(chunk.end(), bytes.begin(), bytes.end());
      Emit(std::move(chunk), now_);
      break;
    }
    case TFault::Split: {
      const std::size_t piece = (bytes.size() + kSplitPieces - 1) / kSplitPieces;
      for (int i = 0; i < kSplitPieces; ++i) {
        const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(i * piece);
        const auto to = bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), (i + 1) * piece));
        Emit({from, to}, now_ + i * kSplitGapMs);
      }
      break;
    }
    case TFault::Burst:
      burst_.insert(burst_.end(), bytes.begin(), bytes.end());
      if (faults_.empty() || faults_.front() != TFault::Burst) Emit(std::exchange(burst_, {}), now_);
      break;
    default:
      Emit(std::move(bytes), now_);
      break;
  }
}

void TSimMeter::Emit(std::vector<std::uint8_t> bytes, std::uint64_t atMs) {
  // Chunks leave in order: nothing overtakes the later pieces of a split frame.
  lastChunkAt_ = std::max(atMs, lastChunkAt_);
  output_.push_back({lastChunkAt_, std::move(bytes)});
}

std::vector<std::uint8_t> TSimMeter::Garbage() {
  std::vector<std::uint8_t> noise(kGarbageSize);
  for (std::uint8_t& b : noise) {
    b = static_cast<std::uint8_t>(NextRandom());
    if (b == kFrameStart1 || b == 0x0D || b == 0x0A) b ^= 0x40;
  }
  return noise;
}

std::vector<TChunk> TSimMeter::TakeOutput() {
  std::vector<TChunk> chunks;
  while (!output_.empty() && output_.front().atMs <= now_) {
    chunks.push_back(std::move(output_.front()));
    output_.pop_front();
  }
  return chunks;
}

std::vector<TChunk> TSimMeter::Produce(std::uint32_t ms) {
  Advance(ms);
  return TakeOutput();
}

void TSimMeter::InjectFault(TFault fault, int frames) {
  const int count = fault == TFault::Burst ? std::max(frames, 2) : frames;
  for (int i = 0; i < count; ++i) faults_.push_back(fault);
}

void TSimMeter::Silence(std::uint32_t ms) { silentUntil_ = std::max(silentUntil_, now_ + ms); }

// SplitMix64: small, fast and the same on every platform, unlike the standard distributions.
std::uint64_t TSimMeter::NextRandom() {
  std::uint64_t z = (random_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double TSimMeter::Jitter() { return static_cast<double>(NextRandom() >> 11) * 0x1.0p-52 - 1.0; }

std::vector<std::uint8_t> Concat(const std::vector<TChunk>& chunks) {
  std::vector<std::uint8_t> bytes;
  for (const TChunk& c : chunks) bytes.insert(bytes.end(), c.bytes.begin(), c.bytes.end());
  return bytes;
}

std::vector<TChunk> FaultyStream(TSimMeter& meter, TFault fault) {
  const std::size_t frames = meter.Sent().size() + (fault == TFault::Burst ? 4 : 3);
  meter.InjectFault(TFault::None);
  meter.InjectFault(fault);
  std::vector<TChunk> stream;
  while (meter.Sent().size() < frames || meter.OutputPending()) {
    std::vector<TChunk> chunks = meter.Produce(meter.Sent().size() < frames ? meter.Config().framePeriodMs : 1);
    stream.insert(stream.end(), std::make_move_iterator(chunks.begin()), std::make_move_iterator(chunks.end()));
  }
  return stream;
}

}  // namespace qm::sim
