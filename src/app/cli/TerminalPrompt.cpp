#include "app/cli/TerminalPrompt.h"

#include "app/cli/Terminal.h"

#include <iostream>

namespace qm::cli {

void TTerminalPrompt::Information(const std::string& text) {
  std::fprintf(out_, "[info] %s\n", text.c_str());
  std::fflush(out_);
}

void TTerminalPrompt::Message(const std::string& text) {
  std::fprintf(out_, "[message] %s\n", text.c_str());
  std::fflush(out_);
}

void TTerminalPrompt::ErrorReport(const std::string& text) {
  std::fprintf(stderr, "[error] %s\n", text.c_str());
}

bool TTerminalPrompt::Confirm(const std::string& text) {
  if (assumeYes_) {
    std::fprintf(out_, "[confirm] %s yes\n", text.c_str());
    return true;
  }
  if (!StdinIsTerminal()) {
    std::fprintf(out_, "[confirm] %s no (not a terminal; pass --yes)\n", text.c_str());
    return false;
  }
  std::fprintf(out_, "[confirm] %s [y/N] ", text.c_str());
  std::fflush(out_);
  std::string answer;
  std::getline(std::cin, answer);
  return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

std::optional<std::string> TTerminalPrompt::OpenFileName(const std::string&) { return std::nullopt; }

std::optional<std::string> TTerminalPrompt::SaveFileName(const std::string&, const std::string&, bool) {
  return std::nullopt;
}

}  // namespace qm::cli
