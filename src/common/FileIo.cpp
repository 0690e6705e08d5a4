#include "common/FileIo.h"

#include <algorithm>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#endif

namespace qm::files {

TFile::~TFile() { Close(); }

TFile::TFile(TFile&& other) noexcept : handle_(std::exchange(other.handle_, kInvalid)) {}

TFile& TFile::operator=(TFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kInvalid);
  }
  return *this;
}

bool TFile::Valid() const { return handle_ != kInvalid; }

bool TFile::WriteAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const long long n = Write(bytes);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

#ifdef _WIN32

TFile TFile::Open(const std::string& path, TMode mode) {
  const DWORD access = mode == TMode::Read ? GENERIC_READ : GENERIC_WRITE;
  // Readers let others read and write; a file being written may be read, not written, by others.
  const DWORD share = mode == TMode::Read ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
  const DWORD disposition = mode == TMode::Read              ? OPEN_EXISTING
                            : mode == TMode::CreateExclusive ? CREATE_NEW
                                                             : CREATE_ALWAYS;
  HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return TFile(h);
}

long long TFile::Write(std::string_view bytes) {
  const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
  DWORD written = 0;
  if (!WriteFile(handle_, bytes.data(), piece, &written, nullptr)) return -1;
  return written;
}

long long TFile::Read(char* to, std::size_t max) {
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(max, 1u << 30));
  if (!ReadFile(handle_, to, want, &got, nullptr)) return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  return got;
}

std::optional<std::uint64_t> TFile::Size() const {
  LARGE_INTEGER size{};
  if (GetFileType(handle_) != FILE_TYPE_DISK || !GetFileSizeEx(handle_, &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool TFile::Truncate() {
  LARGE_INTEGER zero{};
  return SetFilePointerEx(handle_, zero, nullptr, FILE_BEGIN) && SetEndOfFile(handle_);
}

bool TFile::Sync() { return FlushFileBuffers(handle_) != 0; }
bool TFile::SyncData() { return FlushFileBuffers(handle_) != 0; }

bool TFile::Close() {
  if (!Valid()) return true;
  return CloseHandle(std::exchange(handle_, kInvalid)) != 0;
}

void TFile::CopyAccessRightsOf(const std::string&) {}

std::error_code LastError() { return {static_cast<int>(GetLastError()), std::system_category()}; }

bool LastErrorIsAlreadyExists() {
  const DWORD error = GetLastError();
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

bool PutInPlace(const std::string& from, const std::string& to) {
  // MoveFileEx replaces the target in one rename; write-through returns only once it is on disk.
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

unsigned long ProcessId() { return GetCurrentProcessId(); }

#else

namespace {
template <typename TCall>
auto RetryOnInterrupt(TCall call) {
  for (;;) {
    auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}
}  // namespace

TFile TFile::Open(const std::string& path, TMode mode) {
  const int flags = mode == TMode::Read              ? O_RDONLY
                    : mode == TMode::CreateExclusive ? O_WRONLY | O_CREAT | O_EXCL
                                                     : O_WRONLY | O_CREAT | O_TRUNC;
  return TFile(RetryOnInterrupt([&] { return ::open(path.c_str(), flags | O_CLOEXEC, 0666); }));
}

long long TFile::Write(std::string_view bytes) {
  return RetryOnInterrupt([&] { return ::write(handle_, bytes.data(), bytes.size()); });
}

long long TFile::Read(char* to, std::size_t max) {
  return RetryOnInterrupt([&] { return ::read(handle_, to, max); });
}

std::optional<std::uint64_t> TFile::Size() const {
  struct stat st {};
  if (::fstat(handle_, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

bool TFile::Truncate() { return ::ftruncate(handle_, 0) == 0 && ::lseek(handle_, 0, SEEK_SET) == 0; }

bool TFile::Sync() { return ::fsync(handle_) == 0; }
bool TFile::SyncData() { return ::fdatasync(handle_) == 0; }

bool TFile::Close() {
  if (!Valid()) return true;
  return ::close(std::exchange(handle_, kInvalid)) == 0;
}

void TFile::CopyAccessRightsOf(const std::string& like) {
  struct stat old {};
  if (::stat(like.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(handle_, old.st_mode & 07777);
}

std::error_code LastError() { return {errno, std::generic_category()}; }

bool LastErrorIsAlreadyExists() { return errno == EEXIST; }

bool PutInPlace(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return false;
  // Make the rename itself durable; the data is already safe, so a failure here is not reported.
  const std::filesystem::path parent = std::filesystem::path(to).parent_path();
  const std::string dir = parent.empty() ? "." : parent.string();
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

#endif

}  // namespace qm::files
