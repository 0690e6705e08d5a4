#include "devices/linux/HidrawCache.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace qm::hid::hidraw {
namespace {

std::string KeyOf(const THidrawNode& node) { return UpperCaseAscii(FormatInterfacePath(node)); }

}  // namespace

THidrawCache::TRecord& THidrawCache::Remember(const THidrawNode& node) {
  TRecord& record = records_[KeyOf(node)];
  record.Node = node;
  record.Present = true;
  record.GoneOrder = 0;
  return record;
}

void THidrawCache::MarkGone(TRecord& record) {
  if (!record.Present) return;
  record.Present = false;
  record.GoneOrder = ++goneCount_;
}

void THidrawCache::ForgetOldestGone() {
  std::size_t gone = 0;
  for (const auto& [key, record] : records_) gone += record.Present ? 0 : 1;
  while (gone-- > kMaxGone) {
    auto oldest = records_.end();
    for (auto it = records_.begin(); it != records_.end(); ++it)
      if (!it->second.Present && (oldest == records_.end() || it->second.GoneOrder < oldest->second.GoneOrder))
        oldest = it;
    records_.erase(oldest);
  }
}

void THidrawCache::SetPresent(const std::vector<THidrawNode>& nodes) {
  std::set<std::string> present;
  for (const auto& node : nodes) present.insert(KeyOf(node));
  for (auto& [key, record] : records_)
    if (!present.contains(key)) MarkGone(record);
  for (const auto& node : nodes) Remember(node);
  ForgetOldestGone();
}

TInterfaceEntry THidrawCache::Arrived(const THidrawNode& node) { return MakeInterfaceEntry(Remember(node).Node, true); }

TInterfaceEntry THidrawCache::Removed(const THidrawNode& node) {
  auto it = records_.try_emplace(KeyOf(node), TRecord{node}).first;
  MarkGone(it->second);
  TInterfaceEntry entry = MakeInterfaceEntry(it->second.Node, false);
  ForgetOldestGone();
  return entry;
}

std::vector<TInterfaceEntry> THidrawCache::List(bool presentOnly) const {
  std::vector<const TRecord*> listed;
  for (const auto& [key, record] : records_)
    if (record.Present || !presentOnly) listed.push_back(&record);
  // Present before gone; present ones by node number (then name), gone ones by when they went.
  auto order = [](const TRecord* r) {
    return std::make_tuple(!r->Present, r->GoneOrder, NodeNumber(r->Node.NodeName).value_or(~0u), r->Node.NodeName);
  };
  std::sort(listed.begin(), listed.end(), [&](const TRecord* a, const TRecord* b) { return order(a) < order(b); });
  std::vector<TInterfaceEntry> entries;
  entries.reserve(listed.size());
  for (const TRecord* record : listed) entries.push_back(MakeInterfaceEntry(record->Node, record->Present));
  return entries;
}

std::optional<THidrawNode> THidrawCache::FindPresent(const std::string& key) const {
  auto it = records_.find(key);
  if (it == records_.end() || !it->second.Present) return std::nullopt;
  return it->second.Node;
}

}  // namespace qm::hid::hidraw
