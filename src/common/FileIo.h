// Files as the log savers, the loader and the CLI's journal need them, the same on Linux and on
// Windows: descriptors there, handles here. Paths are 8-bit texts (the ANSI code page on Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace qm::files {

// An open file; closed when the object goes. Not copyable, movable.
class TFile {
 public:
  enum class TMode {
    Read,             // an existing file, for reading
    CreateExclusive,  // a new file that must not exist yet, for writing
    CreateTruncate,   // a new or emptied file, for writing
  };

  TFile() = default;
  ~TFile();
  TFile(TFile&& other) noexcept;
  TFile& operator=(TFile&& other) noexcept;
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  // An invalid object when the file cannot be opened; LastError() then says why.
  static TFile Open(const std::string& path, TMode mode);

  bool Valid() const;
  // Some of `bytes`: how many were written, -1 on error.
  long long Write(std::string_view bytes);
  // The whole of `bytes`, or false.
  bool WriteAll(std::string_view bytes);
  // Up to `max` bytes; 0 at the end of the file, -1 on error.
  long long Read(char* to, std::size_t max);
  // The file's size, when it is a regular file whose size is known.
  std::optional<std::uint64_t> Size() const;
  // Empties the file and writes from its start again.
  bool Truncate();
  // Data and metadata on the disk (fsync; FlushFileBuffers).
  bool Sync();
  // The data on the disk; metadata may follow later (fdatasync where there is one).
  bool SyncData();
  // Closes now; false when the close reported an error (a write the system had buffered failed).
  bool Close();
  // Gives this file the access rights of the regular file `like`, when there is one (Linux only:
  // a Windows file inherits its rights from the folder).
  void CopyAccessRightsOf(const std::string& like);

 private:
#ifdef _WIN32
  using THandle = void*;
  static inline THandle const kInvalid = reinterpret_cast<THandle>(static_cast<std::intptr_t>(-1));
#else
  using THandle = int;
  static constexpr THandle kInvalid = -1;
#endif
  explicit TFile(THandle handle) : handle_(handle) {}
  THandle handle_ = kInvalid;
};

// The error of the last failed call of this thread, as the system tells it.
std::error_code LastError();
// Whether the last failed call of this thread failed because the file exists.
bool LastErrorIsAlreadyExists();

// Puts `from` in the place of `to`, replacing a file that is there, in one step: a reader sees the
// old file or the new one, never neither, and the change is on the disk when this returns true.
bool PutInPlace(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
// A number that tells this process from others on the machine, for unique file names.
unsigned long ProcessId();

}  // namespace qm::files
