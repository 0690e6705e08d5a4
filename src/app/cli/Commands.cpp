#include "app/cli/Commands.h"

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/DemoRig.h"
#include "app/MeterSession.h"
#include "app/ReadingText.h"
#include "app/cli/CliOptions.h"
#include "app/cli/LogJournal.h"
#include "app/cli/Terminal.h"
#include "app/cli/TerminalPrompt.h"
#include "common/CodePage.h"
#include "common/FileIo.h"
#include "common/SystemLocale.h"
#include "devices/MainThread.h"
#include "protocol/CommandTable.h"
#include "devices/uEnumerator.h"
#include "recording/LogFiles.h"
#include "selector/frmDeviceSelect.h"
#include "selector/uDeviceSelector.h"
#include "QmVersion.h"

namespace qm::cli {

namespace {

std::atomic<bool> gInterrupted{false};
extern "C" void OnSignal(int) { gInterrupted = true; }

// Meter texts are bytes in the meter's code page: a UTF-8 terminal gets them converted, any other
// gets the bytes.
class TDisplayConverter {
 public:
  TDisplayConverter() : utf8_(PrepareUtf8Output()) {}
  std::string operator()(const std::string& bytes) const { return utf8_ ? MeterTextToUtf8(bytes) : bytes; }

 private:
  bool utf8_ = false;
};

std::string LocaleDecimalSeparator(const TCliOptions& o) {
  return o.decimalSeparator ? *o.decimalSeparator : SystemDecimalSeparator();
}

// Prints readings and memory records as the session decodes them, and counts them.
class TReadingPrinter {
 public:
  // Prints at most `limit` readings (all when absent).
  TReadingPrinter(TMeterSession& session, std::FILE* out, bool showVerdict, std::optional<long> limit = {})
      : session_(session), out_(out), showVerdict_(showVerdict), limit_(limit) {
    session_.OnReadingDecoded.Add([this](TMeterSession::TReadingKind kind) { Print(kind); });
  }
  long Printed() const { return printed_; }
  // True once a memory record was decoded since the last call.
  bool TakeMemorySeen() { return std::exchange(memorySeen_, false); }

 private:
  void Print(TMeterSession::TReadingKind kind) {
    const bool live = kind == TMeterSession::TReadingKind::Live;
    if (!live) memorySeen_ = true;
    if (limit_ && printed_ >= *limit_) return;
    const TMeterProtocol& p = session_.Protocol();
    std::string line = convert_(FormatReadingLine(p.Reading(), p));
    if (live && showVerdict_)
      line += "  value=" + session_.Comparator().CurValueText() + " " + session_.Comparator().Caption();
    if (!live) line += "  " + std::string(p.LoadLogCaption());
    std::fprintf(out_, "%-6s %s\n", live ? "live" : "memory", line.c_str());
    std::fflush(out_);
    ++printed_;
  }

  TMeterSession& session_;
  std::FILE* out_;
  bool showVerdict_;
  std::optional<long> limit_;
  TDisplayConverter convert_;
  long printed_ = 0;
  bool memorySeen_ = false;
};

bool ApplyRecordingOptions(const TCliOptions& o, TMeterSession& session, IPrompt& prompt, std::string& error) {
  if (o.interval) {
    if (session.Sampling().timerInputDelayTimer(*o.interval, prompt)) {
      error = "--interval: out of range";
      return false;
    }
    session.Sampling().cbIntervalClick(true);
  }
  if (o.limits) {
    const std::string& s = *o.limits;
    auto cut = s.find(';');
    if (cut == std::string::npos) cut = s.find(',');
    if (cut == std::string::npos) {
      error = "--limits takes LOW,HIGH";
      return false;
    }
    std::string low = s.substr(0, cut), high = s.substr(cut + 1);
    if (session.Comparator().SetLowText(low) || session.Comparator().SetHighText(high)) {
      error = "--limits: not a number: " + s;
      return false;
    }
  }
  return true;
}

bool SaveLogIfAsked(const TCliOptions& o, TMeterSession& session, TTerminalPrompt& prompt) {
  if (!o.log) return true;
  return SaveLogFile(session.Log(), *o.log, prompt);
}

// The terminal's device choice when several bridges are attached.
class TTerminalChooser : public IDeviceChooser {
 public:
  explicit TTerminalChooser(std::FILE* out) : out_(out) {}
  std::optional<std::string> Choose(TDeviceSelector& selector, bool modelEnabled, TBridgeModel model) override {
    TDeviceSelectState state(selector, modelEnabled, model);
    std::vector<std::string> paths = state.Devices();
    if (modelEnabled) {
      state.ChangeModel(model == bmCH9329 ? bmCP2110 : bmCH9329);
      paths.insert(paths.end(), state.Devices().begin(), state.Devices().end());
    }
    if (!StdinIsTerminal()) {
      std::fprintf(out_, "Several bridges are attached; choose one with --device PATH:\n");
      for (const auto& p : paths) std::fprintf(out_, "  %s\n", p.c_str());
      return std::nullopt;
    }
    for (std::size_t i = 0; i < paths.size(); ++i) std::fprintf(out_, "  [%zu] %s\n", i + 1, paths[i].c_str());
    std::fprintf(out_, "Bridge to open (number, empty to cancel): ");
    std::fflush(out_);
    std::string answer;
    std::getline(std::cin, answer);
    long n = std::atol(answer.c_str());
    if (n < 1 || static_cast<std::size_t>(n) > paths.size()) return std::nullopt;
    return paths[static_cast<std::size_t>(n - 1)];
  }

 private:
  std::FILE* out_;
};

std::optional<std::vector<std::uint8_t>> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::unique_ptr<TDemoRig> MakeDemo(const TCliOptions& o, std::string& error) {
  if (!o.demo && !o.capture) return nullptr;
  std::vector<TBridgeModel> models;
  if (o.demo) {
    auto parsed = TDemoRig::ParseModels(*o.demo);
    if (!parsed) {
      error = "--demo takes a comma list of cp2110 and ch9329";
      return nullptr;
    }
    models = *parsed;
  }
  std::optional<std::vector<std::uint8_t>> capture;
  if (o.capture && !(capture = ReadBytes(*o.capture))) {
    error = "cannot read " + *o.capture;
    return nullptr;
  }
  return std::make_unique<TDemoRig>(models, o.periodMs, std::move(capture));
}

int RunList(const TCliOptions& o, std::FILE* out) {
  std::string error;
  auto demo = MakeDemo(o, error);
  if (!error.empty()) {
    std::fprintf(stderr, "qm7310p-cli: %s\n", error.c_str());
    return 2;
  }
  TDeviceSelector selector;
  std::fprintf(out, "# model\tpath\tvid:pid\thardware id\tmanufacturer\tproduct\tserial\tfeature length\n");
  for (TBridgeModel model : {bmCH9329, bmCP2110}) {
    for (const auto& d : selector.EnumDevices(model)) {
      std::fprintf(out, "%s\t%s\t%04X:%04X\t%s\t%s\t%s\t%s\t%u\n", model == bmCH9329 ? "CH9329" : "CP2110",
                   d->DevicePath.c_str(), d->VID, d->PID, d->HardwareId.c_str(), d->Manufacturer.c_str(),
                   d->Product.c_str(), d->SerialNumber.c_str(), unsigned{d->FeatureReportLength});
    }
  }
  return 0;
}

// Opens the bridge: the one named by --device, else as the selector chooses.
bool OpenBridge(const TCliOptions& o, TDeviceSelector& selector) {
  if (!o.device) return selector.Open();
  std::string wanted = TEnumerator::UpperCase(*o.device);
  for (TBridgeModel model : {bmCH9329, bmCP2110})
    for (const auto& d : selector.EnumDevices(model))
      if (d->DevicePath == wanted) return selector.OpenDevice(*d);
  return false;
}

int RunMonitor(const TCliOptions& o, std::FILE* out) {
  std::string error;
  auto demo = MakeDemo(o, error);
  if (!error.empty()) {
    std::fprintf(stderr, "qm7310p-cli: %s\n", error.c_str());
    return 2;
  }
  TMainThread::Instance().BindToCurrentThread();
  TTerminalPrompt prompt(out, o.yes);
  TMeterSession session(prompt, {LocaleDecimalSeparator(o), SystemTimeSeparator(), SystemLocalTime});
  if (!ApplyRecordingOptions(o, session, prompt, error)) {
    std::fprintf(stderr, "qm7310p-cli: %s\n", error.c_str());
    return 2;
  }
  TReadingPrinter printer(session, out, o.limits.has_value(), o.count);
  TDeviceSelector selector;
  TTerminalChooser chooser(out);
  selector.SetChooser(&chooser);
  session.BindSelector(&selector);

  bool closedByUs = false, linkLost = false;
  session.OnDisconnected.Add([&] {
    if (!closedByUs) linkLost = true;
  });

  if (!session.btnConnectClick([&](TDeviceSelector& s) { return OpenBridge(o, s); })) return 1;
  // Once there is something to record (a failed connect leaves an earlier file alone), the
  // recording goes to disk as it grows: into the text file itself, or, for a data packet
  // (which cannot be appended to), into a text journal beside it that `convert` turns into the
  // packet should the program not get to write it at the end.
  std::unique_ptr<TLogJournal> journal;
  std::string logFile, journalFile;
  if (o.log) {
    logFile = SaveLogFileName(*o.log);
    journalFile = LogFileExtension(logFile) == ".xml" ? logFile + ".journal" : logFile;
    journal = TLogJournal::Start(journalFile, session.Log(), error);
    if (!journal) {
      std::fprintf(stderr, "qm7310p-cli: cannot record to %s\n", error.c_str());
      selector.Close();
      session.BindSelector(nullptr);
      return 1;
    }
  }

  std::fprintf(out, "# connected\n");
  for (std::uint8_t code : o.send) session.Protocol().SendCommand(code);
  if (o.exportMemory) session.Protocol().btnExportDataClick();

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  using Clock = std::chrono::steady_clock;
  auto start = Clock::now();
  auto nextSample = start + std::chrono::milliseconds(session.Sampling().PeriodMs());
  int exitCode = 0;
  bool downloading = false;
  while (!gInterrupted) {
    TMainThread::Instance().WaitAndProcess(std::chrono::milliseconds(20));
    auto now = Clock::now();
    if (journal) journal->Tick();
    if (o.count && printer.Printed() >= *o.count) break;
    if (o.timeoutSeconds && now - start >= std::chrono::seconds(*o.timeoutSeconds)) break;
    if (session.CheckWatchdog(now)) {
      exitCode = 3;
      break;
    }
    if (linkLost) {
      std::fprintf(out, "# the bridge was unplugged: link closed\n");
      exitCode = 3;
      break;
    }
    // Without a user at the pause button, a finished download hands back to live readings.
    if (printer.TakeMemorySeen()) downloading = true;
    if (downloading && !o.interactive && session.Protocol().LoadLogCaption() == "Data transfer completed") {
      downloading = false;
      session.Protocol().btnPauseClick(false);
      std::fprintf(out, "# download complete: live readings resume\n");
    }
    if (session.Sampling().Enabled() && now >= nextSample) {
      session.timerIntervalTimer();
      nextSample += std::chrono::milliseconds(session.Sampling().PeriodMs());
    }
    if (o.interactive) {
      if (std::optional<std::string> typed = TakeTypedLine(); typed || StdinEnded()) {
        if (!typed || *typed == "quit" || *typed == "q") break;
        const std::string& line = *typed;
        if (line == "export") {
          session.Protocol().btnExportDataClick();
        } else if (line == "pause") {
          bool pressed = !session.Protocol().LogMode();
          session.Protocol().btnPauseClick(pressed);
          std::fprintf(out, "# %s\n", pressed ? "Log Data Mode Disabled" : "Log Data Mode Enabled");
        } else if (auto code = CommandCodeFromText(line)) {
          std::fprintf(out, "# sent %u: %s\n", unsigned{*code}, session.Protocol().SendCommand(*code) ? "ok" : "failed");
        } else if (!line.empty()) {
          std::fprintf(out, "# not a command: %s\n", line.c_str());
        }
      }
    }
  }
  closedByUs = true;
  selector.Close();
  session.BindSelector(nullptr);
  if (journal) {
    const bool journalled = journal->Finish();
    if (!journalled) std::fprintf(stderr, "qm7310p-cli: %s: %s\n", journalFile.c_str(), journal->Error().c_str());
    journal.reset();
    // The whole file once more, written beside and renamed over the recording: the same bytes for
    // text, the packet for XML. The journal of a packet goes once the packet is safe.
    if (!SaveLogFile(session.Log(), logFile, prompt)) {
      exitCode = exitCode ? exitCode : 1;
    } else if (journalFile != logFile) {
      files::RemoveFile(journalFile);
    }
  }
  return exitCode;
}

int RunReplay(const TCliOptions& o, std::FILE* out) {
  if (o.files.size() != 1) {
    std::fprintf(stderr, "qm7310p-cli: replay takes one capture file\n%s", CliUsage());
    return 2;
  }
  auto read = ReadBytes(o.files[0]);
  if (!read) {
    std::fprintf(stderr, "qm7310p-cli: cannot read %s\n", o.files[0].c_str());
    return 1;
  }
  const std::vector<std::uint8_t>& bytes = *read;
  TTerminalPrompt prompt(out, true);
  TMeterSession session(prompt, {LocaleDecimalSeparator(o), SystemTimeSeparator(), SystemLocalTime});
  std::string error;
  if (!ApplyRecordingOptions(o, session, prompt, error)) {
    std::fprintf(stderr, "qm7310p-cli: %s\n", error.c_str());
    return 2;
  }
  TReadingPrinter printer(session, out, o.limits.has_value());
  for (std::size_t at = 0; at < bytes.size(); at += o.chunk) {
    std::size_t n = std::min(o.chunk, bytes.size() - at);
    session.ReceiveData(bytes.data() + at, static_cast<std::int32_t>(n));
  }
  return SaveLogIfAsked(o, session, prompt) ? 0 : 1;
}

int RunConvert(const TCliOptions& o, std::FILE* out) {
  if (o.files.size() != 2) {
    std::fprintf(stderr, "qm7310p-cli: convert takes IN and OUT\n%s", CliUsage());
    return 2;
  }
  TTerminalPrompt prompt(out, true);
  TReadingLog log;
  if (!LoadLogFile(o.files[0], log, true, prompt)) return 1;
  return SaveLogFile(log, o.files[1], prompt) ? 0 : 1;
}

}  // namespace

int RunCli(int argc, char** argv, std::FILE* out) {
  std::setlocale(LC_ALL, "");
  std::string error;
  auto options = ParseCli(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "qm7310p-cli: %s\n%s", error.c_str(), CliUsage());
    return 2;
  }
  const TCliOptions& o = *options;
  try {
    if (o.command == "help") {
      std::fputs(CliUsage(), out);
      return 0;
    }
    if (o.command == "version") {
      std::fprintf(out, "qm7310p-cli %s\n", kVersion);
      return 0;
    }
    if (o.command == "list") return RunList(o, out);
    if (o.command == "monitor") return RunMonitor(o, out);
    if (o.command == "replay") return RunReplay(o, out);
    if (o.command == "convert") return RunConvert(o, out);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qm7310p-cli: %s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "qm7310p-cli: unknown command %s\n%s", o.command.c_str(), CliUsage());
  return 2;
}

}  // namespace qm::cli
