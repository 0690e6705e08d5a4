#include "app/cli/LogJournal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "recording/LogFiles.h"

namespace qm::cli {

std::unique_ptr<TLogJournal> TLogJournal::Start(const std::string& path, TReadingLog& log, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return nullptr;
  }
  std::unique_ptr<TLogJournal> journal(new TLogJournal(fd, log));
  journal->Rewrite();
  journal->Tick();
  if (!journal->error_.empty()) {
    error = path + ": " + journal->error_;
    return nullptr;
  }
  return journal;
}

TLogJournal::TLogJournal(int fd, TReadingLog& log)
    : fd_(fd), log_(log), lastSync_(Clock::now()) {
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
  if (fd_ < 0) return;
  pending_ = FormatTextLog(log_);
  if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) error_ = std::strerror(errno);
}

void TLogJournal::WritePending() {
  std::size_t done = 0;
  while (done < pending_.size()) {
    const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = std::strerror(errno);
      break;  // kept for the next try: a disk that filled up may have room again
    }
    done += static_cast<std::size_t>(n);
    dirty_ = true;
  }
  pending_.erase(0, done);
}

void TLogJournal::Tick(Clock::time_point now) {
  if (fd_ < 0) return;
  if (!pending_.empty()) WritePending();
  if (dirty_ && now - lastSync_ >= kSyncInterval) {
    if (::fdatasync(fd_) != 0) error_ = std::strerror(errno);
    dirty_ = false;
    lastSync_ = now;
  }
}

bool TLogJournal::Finish() {
  if (fd_ < 0) return error_.empty();
  WritePending();
  if (::fsync(fd_) != 0 && error_.empty()) error_ = std::strerror(errno);
  if (::close(fd_) != 0 && error_.empty()) error_ = std::strerror(errno);
  fd_ = -1;
  return error_.empty() && pending_.empty();
}

}  // namespace qm::cli
