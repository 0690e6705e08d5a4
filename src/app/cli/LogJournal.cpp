#include "app/cli/LogJournal.h"

#include "recording/LogFiles.h"

namespace qm::cli {

std::unique_ptr<TLogJournal> TLogJournal::Start(const std::string& path, TReadingLog& log, std::string& error) {
  files::TFile file = files::TFile::Open(path, files::TFile::TMode::CreateTruncate);
  if (!file.Valid()) {
    error = path + ": " + files::LastError().message();
    return nullptr;
  }
  std::unique_ptr<TLogJournal> journal(new TLogJournal(std::move(file), log));
  journal->Rewrite();
  journal->Tick();
  if (!journal->error_.empty()) {
    error = path + ": " + journal->error_;
    return nullptr;
  }
  return journal;
}

TLogJournal::TLogJournal(files::TFile file, TReadingLog& log)
    : file_(std::move(file)), log_(log), lastSync_(Clock::now()) {
  appended_ = log_.OnAppended.Add([this](std::size_t row) { Appended(row); });
  reset_ = log_.OnReset.Add([this] { Rewrite(); });
}

TLogJournal::~TLogJournal() {
  Finish();
  log_.OnAppended.Remove(appended_);
  log_.OnReset.Remove(reset_);
}

void TLogJournal::Appended(std::size_t row) {
  // The record's line exactly as the text writer makes it.
  pending_ += FormatTextLogLine(log_.Record(row));
}

// The log changed as a whole (cleared): the file starts again from what the log holds now.
void TLogJournal::Rewrite() {
  if (!file_.Valid()) return;
  pending_ = FormatTextLog(log_);
  if (!file_.Truncate()) error_ = files::LastError().message();
}

void TLogJournal::WritePending() {
  std::size_t done = 0;
  while (done < pending_.size()) {
    const long long n = file_.Write(std::string_view(pending_).substr(done));
    if (n <= 0) {
      error_ = files::LastError().message();
      break;  // kept for the next try: a disk that filled up may have room again
    }
    done += static_cast<std::size_t>(n);
    dirty_ = true;
  }
  pending_.erase(0, done);
}

void TLogJournal::Tick(Clock::time_point now) {
  if (!file_.Valid()) return;
  if (!pending_.empty()) WritePending();
  if (dirty_ && now - lastSync_ >= kSyncInterval) {
    if (!file_.SyncData()) error_ = files::LastError().message();
    dirty_ = false;
    lastSync_ = now;
  }
}

bool TLogJournal::Finish() {
  if (!file_.Valid()) return error_.empty();
  WritePending();
  if (!file_.Sync() && error_.empty()) error_ = files::LastError().message();
  if (!file_.Close() && error_.empty()) error_ = files::LastError().message();
  return error_.empty() && pending_.empty();
}

}  // namespace qm::cli
