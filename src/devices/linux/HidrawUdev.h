// The udev side of the Linux back end: listing hidraw nodes, opening one, and watching for nodes
// coming and going.
#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <thread>
#include <vector>

#include "devices/HidPlatform.h"
#include "devices/linux/HidrawNames.h"

struct udev;
struct udev_monitor;

namespace qm::hid::hidraw {

// The hidraw nodes present now (empty when udev cannot be reached).
std::vector<THidrawNode> ScanHidrawNodes();

// Opens `node` for reading and writing. nullptr when it cannot be opened, or when the node now
// belongs to another HID device than `node` names (node numbers are reused after an unplug).
std::unique_ptr<THidDevice> OpenHidrawNode(const THidrawNode& node);

// Called on a watching thread with an event's action ("add", "remove", ...) and its node.
using TNodeEventHandler = std::function<void(std::string_view action, const THidrawNode& node)>;

// A running watch for node events; destroying it ends the watch.
class TNodeWatch {
 public:
  virtual ~TNodeWatch() = default;
};

// A udev monitor on hidraw nodes with a thread of its own. The monitor socket exists once Start
// returns, so no event after that is missed.
class THidrawMonitor : public TNodeWatch {
 public:
  using TEventHandler = TNodeEventHandler;

  // nullptr when no monitor can be made (no netlink socket, no udev).
  static std::unique_ptr<THidrawMonitor> Start(TEventHandler handler);
  // Wakes the thread and waits for it; prompt, whatever the thread was waiting for.
  ~THidrawMonitor() override;
  THidrawMonitor(const THidrawMonitor&) = delete;
  THidrawMonitor& operator=(const THidrawMonitor&) = delete;

 private:
  THidrawMonitor(udev* context, udev_monitor* monitor, int wakeFd, TEventHandler handler);
  void Run();

  udev* context_;
  udev_monitor* monitor_;
  const int wakeFd_;  // an eventfd that the destructor makes readable
  const TEventHandler handler_;
  std::thread thread_;
};

}  // namespace qm::hid::hidraw
