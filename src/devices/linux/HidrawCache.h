// Every hidraw interface the back end has seen, present or gone. A removal must still be matched
// after sysfs has forgotten the device, and Open must map an upper-cased path back to its node.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "devices/HidPlatform.h"
#include "devices/linux/HidrawNames.h"

namespace qm::hid::hidraw {

class THidrawCache {
 public:
  // Gone interfaces kept for removal look-ups; the oldest are forgotten beyond this.
  static constexpr std::size_t kMaxGone = 64;

  // A fresh enumeration: the listed nodes are present, every other known interface is gone.
  void SetPresent(const std::vector<THidrawNode>& nodes);
  // An "add" event.
  TInterfaceEntry Arrived(const THidrawNode& node);
  // A "remove" event, with the node rebuilt from the event. The cached node is kept when there is
  // one (it knows the revision that the event no longer carries).
  TInterfaceEntry Removed(const THidrawNode& node);

  // Present interfaces in node-number order; then, unless presentOnly, the gone ones, the most
  // recently gone last.
  std::vector<TInterfaceEntry> List(bool presentOnly) const;
  // The present node whose upper-cased path is `key`.
  std::optional<THidrawNode> FindPresent(const std::string& key) const;

 private:
  struct TRecord {
    THidrawNode Node;
    bool Present = true;
    std::uint64_t GoneOrder = 0;  // when it went, for the order of gone entries and trimming
  };

  TRecord& Remember(const THidrawNode& node);
  void MarkGone(TRecord& record);
  void ForgetOldestGone();

  std::map<std::string, TRecord> records_;  // by upper-cased interface path
  std::uint64_t goneCount_ = 0;
};

}  // namespace qm::hid::hidraw
