#include "app/cli/Terminal.h"

#include <iostream>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#else
#include <langinfo.h>
#include <poll.h>
#include <unistd.h>

#include <cstring>
#endif

namespace qm::cli {

namespace {
bool gEnded = false;
}

#ifdef _WIN32

bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

bool PrepareUtf8Output() {
  SetConsoleOutputCP(CP_UTF8);  // fails harmlessly when the output is no console
  return true;
}

namespace {
// A console or pipe cannot be polled the way a descriptor can: a thread of its own waits for
// lines and hands them over. It stays blocked in the read when the program ends, which is harmless.
struct TLineReader {
  std::mutex Mutex;
  std::deque<std::string> Lines;
  bool Ended = false;

  TLineReader() {
    std::thread([this] {
      std::string line;
      while (std::getline(std::cin, line)) {
        std::lock_guard lock(Mutex);
        Lines.push_back(line);
      }
      std::lock_guard lock(Mutex);
      Ended = true;
    }).detach();
  }
};
}  // namespace

std::optional<std::string> TakeTypedLine() {
  static TLineReader* reader = new TLineReader;  // never freed: its thread may outlive main
  std::lock_guard lock(reader->Mutex);
  if (!reader->Lines.empty()) {
    std::string line = std::move(reader->Lines.front());
    reader->Lines.pop_front();
    return line;
  }
  gEnded = reader->Ended;
  return std::nullopt;
}

#else

bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }

bool PrepareUtf8Output() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset && std::strcmp(codeset, "UTF-8") == 0;
}

std::optional<std::string> TakeTypedLine() {
  pollfd pfd{STDIN_FILENO, POLLIN, 0};
  if (poll(&pfd, 1, 0) <= 0) return std::nullopt;
  std::string line;
  if (!std::getline(std::cin, line)) {
    gEnded = true;
    return std::nullopt;
  }
  return line;
}

#endif

bool StdinEnded() { return gEnded; }

}  // namespace qm::cli
