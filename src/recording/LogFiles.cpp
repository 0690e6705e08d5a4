// Saving and loading the log files: file names, the files themselves, and what the user is told.
#include "recording/LogFiles.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

#include "common/FileIo.h"
#include "recording/LogFilesInternal.h"

namespace qm {

namespace {

std::system_error SystemError(const std::string& what) { return std::system_error(files::LastError(), what); }

// An unfinished temporary file, removed unless the save completed.
class TTempFile {
 public:
  TTempFile(files::TFile file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}
  ~TTempFile() {
    file_.Close();
    if (!kept_) files::RemoveFile(path_);
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  files::TFile& File() { return file_; }
  const std::string& Path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  files::TFile file_;
  std::string path_;
  bool kept_ = false;
};

TTempFile CreateTempBeside(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  std::filesystem::path dir = target.parent_path();
  std::string base = "." + target.filename().string() + ".tmp-" + std::to_string(files::ProcessId()) + "-";
  for (int attempt = 0;; ++attempt) {
    std::string path = (dir / (base + std::to_string(counter++))).string();
    files::TFile file = files::TFile::Open(path, files::TFile::TMode::CreateExclusive);
    if (file.Valid()) return TTempFile(std::move(file), path);
    if (!files::LastErrorIsAlreadyExists() || attempt == 100)
      throw SystemError("Cannot create file \"" + target.string() + "\"");
  }
}

// Writes the bytes `produce` puts out to `name`: to a temporary file beside it first, flushed to
// the disk and then put in its place in one step, so that a failure never destroys an existing
// file. Throws std::system_error (and whatever `produce` throws) when the file could not be written.
template <typename Produce>
void WriteFileReplacing(const std::string& name, Produce produce) {
  std::filesystem::path target(name);
  std::error_code ec;
  if (std::filesystem::is_symlink(target, ec)) {
    auto resolved = std::filesystem::canonical(target, ec);
    if (!ec) target = resolved;  // replace the file the link points to, not the link
  }
  TTempFile temp = CreateTempBeside(target);
  temp.File().CopyAccessRightsOf(target.string());

  logfiles::TOutput out([&](std::string_view piece) {
    if (!temp.File().WriteAll(piece)) throw SystemError("Cannot write file \"" + name + "\"");
  });
  produce(out);
  out.Flush();
  if (!temp.File().Sync() || !temp.File().Close()) throw SystemError("Cannot write file \"" + name + "\"");
  if (!files::PutInPlace(temp.Path(), target.string())) throw SystemError("Cannot create file \"" + name + "\"");
  temp.Keep();
}

// A file read failed after it was opened; the load is then treated as if nothing was read.
struct TReadFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class TFileSource : public logfiles::TSource {
 public:
  TFileSource(files::TFile& file, const TLogProgress& progress) : file_(file), progress_(progress) {
    if (auto size = file_.Size(); size && *size > 0) size_ = static_cast<double>(*size);
  }

  std::size_t Read(char* to, std::size_t max) override {
    const long long n = file_.Read(to, max);
    if (n < 0) throw TReadFailure(files::LastError().message());
    done_ += static_cast<double>(n);
    if (progress_ && size_ > 0) progress_(std::min(1.0, done_ / size_));
    return static_cast<std::size_t>(n);
  }

 private:
  files::TFile& file_;
  const TLogProgress& progress_;
  double size_ = 0;
  double done_ = 0;
};

std::string SavedMessage(const std::string& name) { return "Save table to specified file: " + name + " Scuss!"; }

}  // namespace

std::string LogFileExtension(std::string_view fileName) {
  std::size_t sep = fileName.rfind('/');
  std::string_view base = sep == std::string_view::npos ? fileName : fileName.substr(sep + 1);
  std::size_t dot = base.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string ext(base.substr(dot));
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

std::string SaveLogFileName(std::string_view fileName) {
  std::string ext = LogFileExtension(fileName);
  std::string name(fileName);
  if (ext != ".xml" && ext != ".xls" && ext != ".txt") name += ".xls";
  return name;
}

namespace logfiles {

std::size_t TViewSource::Read(char* to, std::size_t max) {
  std::size_t n = std::min(max, rest_.size());
  std::memcpy(to, rest_.data(), n);
  rest_.remove_prefix(n);
  return n;
}

bool TReadBuffer::More() {
  if (ended_) return false;
  if (pos_ > 0) {
    buf_.erase(0, pos_);
    pos_ = 0;
  }
  std::size_t held = buf_.size();
  std::size_t want = std::max(kPiece, held);
  buf_.resize(held + want);
  std::size_t got = 0;
  try {
    while (got < want) {
      std::size_t n = source_.Read(buf_.data() + held + got, want - got);
      if (n == 0) {
        ended_ = true;
        break;
      }
      got += n;
    }
  } catch (...) {
    buf_.resize(held + got);
    throw;
  }
  buf_.resize(held + got);
  return got > 0;
}

void TReadBuffer::Release() {
  buf_.erase(0, pos_);
  buf_.shrink_to_fit();
  pos_ = 0;
}

std::string TReadBuffer::Take(std::size_t n) {
  std::string tail(Rest().substr(n));
  buf_.erase(0, pos_);
  buf_.resize(n);
  pos_ = 0;
  std::string taken = std::move(buf_);
  buf_ = std::move(tail);
  return taken;
}

}  // namespace logfiles

TLogWriteResult WriteLogFile(const TReadingLog& table, const std::string& fileName, const TLogProgress& progress) {
  TLogWriteResult r;
  r.FileName = SaveLogFileName(fileName);
  r.Xml = LogFileExtension(r.FileName) == ".xml";
  try {
    const double count = static_cast<double>(std::max<std::size_t>(table.Count(), 1));
    std::function<void(std::size_t)> onRow;
    if (progress) onRow = [&](std::size_t row) { progress(static_cast<double>(row) / count); };
    if (r.Xml)
      WriteFileReplacing(r.FileName, [&](logfiles::TOutput& out) { logfiles::WriteXmlLog(table, out, onRow); });
    else
      WriteFileReplacing(r.FileName, [&](logfiles::TOutput& out) { logfiles::WriteTextLog(table, out, onRow); });
    if (progress) progress(1.0);
    r.Ok = true;
  } catch (const std::exception& e) {
    r.Error = e.what();
  }
  return r;
}

bool ReportLogWrite(TReadingLog& table, const TLogWriteResult& r, IPrompt& prompt) {
  if (r.Xml) {
    if (r.Ok)
      prompt.Message(SavedMessage(r.FileName));
    else
      prompt.ErrorReport(r.Error);
    return r.Ok;
  }
  if (!table.Empty()) table.SetCurrentRow(table.Count() - 1);  // the writer walked the log to its end
  prompt.Information(r.Ok ? SavedMessage(r.FileName) : "Could not save table to specified file: " + r.FileName);
  return r.Ok;
}

bool SaveLogFile(TReadingLog& table, const std::string& fileName, IPrompt& prompt) {
  return ReportLogWrite(table, WriteLogFile(table, fileName), prompt);
}

TLogReadResult ReadLogFile(const std::string& fileName, const TLogProgress& progress) {
  TLogReadResult r;
  r.Xml = LogFileExtension(fileName) == ".xml";
  files::TFile file = files::TFile::Open(fileName, files::TFile::TMode::Read);
  if (!file.Valid()) return r;
  TFileSource source(file, progress);
  try {
    r.Read = true;
    r.Ok = (r.Xml ? logfiles::ReadXmlLog(source, r.Records) : logfiles::ReadTextLog(source, r.Records)).Ok();
  } catch (const TReadFailure&) {
    // The file could not be read to its end (a directory, an I/O error): nothing of it is taken.
    r.Read = r.Ok = false;
    r.Records.Clear();
  } catch (const std::exception&) {
    r.Ok = false;
  }
  return r;
}

bool ApplyLogRead(TLogReadResult&& r, TReadingLog& table, bool ClearFirst, IPrompt& prompt) {
  try {
    TReadingLog::TUpdate batch(table);
    if (r.Xml) {
      if (r.Ok) table.Swap(r.Records);  // a failed packet leaves the table as it was
    } else if (r.Read) {
      // The records of the lines read before a failing one stay appended. Into an empty log the
      // records read are taken over whole rather than copied, so a big file is not held twice.
      if (ClearFirst) table.Clear();
      if (table.Empty() && !r.Records.Empty())
        table.Swap(r.Records);
      else
        for (std::size_t row = 0; row < r.Records.Count(); ++row) table.Append(r.Records.Record(row));
    }
  } catch (const std::exception&) {
    r.Ok = false;
  }
  if (!r.Ok) prompt.Information(std::string(kLoadLogFailed));
  return r.Ok;
}

bool LoadLogFile(const std::string& fileName, TReadingLog& table, bool ClearFirst, IPrompt& prompt) {
  return ApplyLogRead(ReadLogFile(fileName), table, ClearFirst, prompt);
}

TFileOutcome btnRecordOpenClick(TReadingLog& log, IPrompt& prompt) {
  auto name = prompt.OpenFileName(std::string(kOpenLogFilter));
  if (!name) return TFileOutcome::Cancelled;
  return LoadLogFile(*name, log, false, prompt) ? TFileOutcome::Done : TFileOutcome::Failed;
}

TFileOutcome btnRecordSaveClick(TReadingLog& log, IPrompt& prompt) {
  auto name = prompt.SaveFileName(std::string(kSaveLogFilter), std::string(kSaveLogDefaultExt), true);
  if (!name) return TFileOutcome::Cancelled;
  return SaveLogFile(log, *name, prompt) ? TFileOutcome::Done : TFileOutcome::Failed;
}

}  // namespace qm
