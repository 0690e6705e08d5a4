// Everything the user must see or answer goes through this interface, so that the GUI shows real
// modal boxes, the CLI prints and answers from its options, and tests script the answers.
#pragma once

#include <optional>
#include <string>

namespace qm {

class IPrompt {
 public:
  virtual ~IPrompt() = default;

  // Information box with an OK button; returns when the user has closed it.
  virtual void Information(const std::string& text) = 0;
  // Plain message box with an OK button (no icon), as some completions use.
  virtual void Message(const std::string& text) = 0;
  // Confirmation box with Yes and No; true for Yes.
  virtual bool Confirm(const std::string& text) = 0;
  // The application's general error report: a box with the error's text.
  virtual void ErrorReport(const std::string& text) = 0;

  // File dialogs. `filter` uses the "Description|*.ext|Description|*.ext" form; the result is the
  // chosen file name, or nullopt when the user cancelled.
  virtual std::optional<std::string> OpenFileName(const std::string& filter) = 0;
  virtual std::optional<std::string> SaveFileName(const std::string& filter, const std::string& defaultExt,
                                                  bool askBeforeOverwrite) = 0;
};

// A prompt for code that runs without a user (the protocol before a front end binds its own, the
// benchmarks): it shows nothing, answers No and cancels every file dialog.
class TSilentPrompt : public IPrompt {
 public:
  void Information(const std::string&) override {}
  void Message(const std::string&) override {}
  bool Confirm(const std::string&) override { return false; }
  void ErrorReport(const std::string&) override {}
  std::optional<std::string> OpenFileName(const std::string&) override { return std::nullopt; }
  std::optional<std::string> SaveFileName(const std::string&, const std::string&, bool) override {
    return std::nullopt;
  }
};

}  // namespace qm
