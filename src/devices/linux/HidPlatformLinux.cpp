// Placeholder native back end: lists nothing. Replaced by the hidraw + udev back end.
#include "devices/HidPlatform.h"

namespace qm::hid {
namespace {
class TNullPlatform : public THidPlatform {
 public:
  std::vector<TInterfaceEntry> ListInterfaces(bool) override { return {}; }
  std::unique_ptr<THidDevice> Open(const std::string&) override { return nullptr; }
  int Subscribe(TNotifyHandler) override { return 0; }
  void Unsubscribe(int) override {}
};
}  // namespace
THidPlatform& NativePlatform() {
  static TNullPlatform p;
  return p;
}
}  // namespace qm::hid
