// The log written as it grows, so that a long recording survives a crash of the program or a power
// cut: the text file's header at once, then each record's line as the log appends it. Lines are
// handed to the system at every Tick (the monitor's loop ticks many times a second) and synced to
// the disk every few seconds. The bytes are those of the text format, so the finished file is what
// a save of the whole log writes.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "common/Event.h"
#include "common/FileIo.h"
#include "recording/LogStore.h"

namespace qm::cli {

class TLogJournal {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr auto kSyncInterval = std::chrono::seconds(3);

  // Creates (or empties) `path`, writes the header and follows `log`'s appends and resets. Null,
  // with the system's error text in `error`, when the file cannot be written.
  static std::unique_ptr<TLogJournal> Start(const std::string& path, TReadingLog& log, std::string& error);
  ~TLogJournal();
  TLogJournal(const TLogJournal&) = delete;
  TLogJournal& operator=(const TLogJournal&) = delete;

  // Writes the lines waiting, and syncs once kSyncInterval has passed since the last sync.
  void Tick(Clock::time_point now = Clock::now());
  // Writes what is left, syncs and closes. False when any write failed on the way.
  bool Finish();
  const std::string& Error() const { return error_; }

 private:
  TLogJournal(files::TFile file, TReadingLog& log);
  void Appended(std::size_t row);
  void Rewrite();
  void WritePending();

  files::TFile file_;
  TReadingLog& log_;
  TMulticastEvent<std::size_t>::TToken appended_;
  TMulticastEvent<>::TToken reset_;
  std::string pending_;
  bool dirty_ = false;     // written since the last sync
  Clock::time_point lastSync_;
  std::string error_;
};

}  // namespace qm::cli
