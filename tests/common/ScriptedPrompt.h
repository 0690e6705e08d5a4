// An IPrompt whose answers a test scripts in advance and whose shown texts it records.
// Nothing ever blocks: an unscripted question is answered with the default (No / cancel) and
// recorded, so a test can assert that it was asked.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "common/Prompt.h"

namespace qm::test {

class ScriptedPrompt : public IPrompt {
 public:
  struct Shown {
    std::string kind;  // "information", "message", "confirm", "error", "open", "save"
    std::string text;  // the text, or the filter for file dialogs
  };

  // Answers, consumed in order.
  std::deque<bool> confirmAnswers;
  std::deque<std::optional<std::string>> fileAnswers;

  std::vector<Shown> shown;

  void Information(const std::string& text) override { shown.push_back({"information", text}); }
  void Message(const std::string& text) override { shown.push_back({"message", text}); }
  void ErrorReport(const std::string& text) override { shown.push_back({"error", text}); }
  bool Confirm(const std::string& text) override {
    shown.push_back({"confirm", text});
    if (confirmAnswers.empty()) return false;
    bool a = confirmAnswers.front();
    confirmAnswers.pop_front();
    return a;
  }
  std::optional<std::string> OpenFileName(const std::string& filter) override {
    shown.push_back({"open", filter});
    return NextFile();
  }
  std::optional<std::string> SaveFileName(const std::string& filter, const std::string& defaultExt,
                                          bool askBeforeOverwrite) override {
    lastDefaultExt = defaultExt;
    lastAskBeforeOverwrite = askBeforeOverwrite;
    shown.push_back({"save", filter});
    return NextFile();
  }

  std::string lastDefaultExt;
  bool lastAskBeforeOverwrite = false;

  // Texts of the boxes of one kind, in the order shown.
  std::vector<std::string> Texts(const std::string& kind) const {
    std::vector<std::string> out;
    for (const auto& s : shown)
      if (s.kind == kind) out.push_back(s.text);
    return out;
  }

 private:
  std::optional<std::string> NextFile() {
    if (fileAnswers.empty()) return std::nullopt;
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
  }
};

}  // namespace qm::test
