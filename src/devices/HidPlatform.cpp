#include "devices/HidPlatform.h"

#include <atomic>

namespace qm::hid {

namespace {
std::atomic<THidPlatform*> gInstalled{nullptr};
}

THidPlatform& Platform() {
  THidPlatform* p = gInstalled.load();
  return p ? *p : NativePlatform();
}

void InstallPlatform(THidPlatform* platform) { gInstalled.store(platform); }

}  // namespace qm::hid
