// The prompt of the benchmarks: no box is ever shown, every question is answered No.
#pragma once

#include <optional>
#include <string>

#include "common/Prompt.h"

namespace qm::bench {

class TSilentPrompt : public IPrompt {
 public:
  void Information(const std::string&) override {}
  void Message(const std::string&) override {}
  bool Confirm(const std::string&) override { return false; }
  void ErrorReport(const std::string&) override {}
  std::optional<std::string> OpenFileName(const std::string&) override { return std::nullopt; }
  std::optional<std::string> SaveFileName(const std::string&, const std::string&, bool) override { return std::nullopt; }
};

}  // namespace qm::bench
