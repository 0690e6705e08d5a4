// The CLI's prompt: boxes become lines on the terminal; questions are answered from the options
// (or, on a terminal, by the user); file dialogs are never needed by the subcommands.
#pragma once

#include <cstdio>
#include <string>

#include "common/Prompt.h"

namespace qm::cli {

class TTerminalPrompt : public IPrompt {
 public:
  // `assumeYes`: answer every confirmation with Yes without asking.
  TTerminalPrompt(std::FILE* out, bool assumeYes) : out_(out), assumeYes_(assumeYes) {}

  void Information(const std::string& text) override;
  void Message(const std::string& text) override;
  bool Confirm(const std::string& text) override;
  void ErrorReport(const std::string& text) override;
  std::optional<std::string> OpenFileName(const std::string& filter) override;
  std::optional<std::string> SaveFileName(const std::string& filter, const std::string& defaultExt,
                                          bool askBeforeOverwrite) override;

 private:
  std::FILE* out_;
  bool assumeYes_;
};

}  // namespace qm::cli
