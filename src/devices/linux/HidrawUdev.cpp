#include "devices/linux/HidrawUdev.h"

#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

#include "devices/linux/HidrawDevice.h"

namespace qm::hid::hidraw {
namespace {

struct TUdevRelease {
  void operator()(udev* p) const { udev_unref(p); }
  void operator()(udev_enumerate* p) const { udev_enumerate_unref(p); }
  void operator()(udev_device* p) const { udev_device_unref(p); }
};
template <typename T>
using TUdevPtr = std::unique_ptr<T, TUdevRelease>;

std::string_view Text(const char* value) { return value ? std::string_view(value) : std::string_view(); }

// A device's udev parents belong to the device; they are not released separately.
udev_device* UsbDeviceOf(udev_device* device) {
  return udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
}

std::optional<std::string> Latin1Attribute(udev_device* device, const char* name) {
  const char* value = device ? udev_device_get_sysattr_value(device, name) : nullptr;
  if (!value) return std::nullopt;
  return Utf8ToLatin1(value);
}

std::optional<std::string> Latin1Property(udev_device* device, const char* name) {
  const char* value = device ? udev_device_get_property_value(device, name) : nullptr;
  if (!value || *value == '\0') return std::nullopt;
  return Utf8ToLatin1(value);
}

// The USB device descriptor: the first 18 bytes of the binary "descriptors" attribute, which
// udev's text attributes cannot carry.
std::vector<std::uint8_t> DeviceDescriptorOf(udev_device* usb) {
  const char* sysPath = usb ? udev_device_get_syspath(usb) : nullptr;
  if (!sysPath) return {};
  std::ifstream file(std::string(sysPath) + "/descriptors", std::ios::binary);
  std::vector<std::uint8_t> bytes(18);
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  return bytes;
}

// The node of a hidraw udev device: names from its DEVPATH (as for a removal, so that an arrival
// and the removal of the same node give the same path), the revision from its USB device.
std::optional<THidrawNode> NodeOf(udev_device* device) {
  auto node = NodeFromDevPath(Text(udev_device_get_devpath(device)), Text(udev_device_get_devnode(device)));
  if (node) {
    if (udev_device* usb = UsbDeviceOf(device))
      node->Revision = ParseHex16(Text(udev_device_get_sysattr_value(usb, "bcdDevice")));
  }
  return node;
}

// The strings of an open node. A HID device that is not on USB has no USB strings; its HID name
// and unique id stand in for the product and serial number.
TNodeStrings StringsOf(udev_device* device) {
  TNodeStrings strings;
  if (udev_device* usb = UsbDeviceOf(device)) {
    strings.Manufacturer = Latin1Attribute(usb, "manufacturer");
    strings.Product = Latin1Attribute(usb, "product");
    strings.SerialNumber = Latin1Attribute(usb, "serial");
    strings.Revision = ParseHex16(Text(udev_device_get_sysattr_value(usb, "bcdDevice")));
    strings.DeviceDescriptor = DeviceDescriptorOf(usb);
  } else if (udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr)) {
    strings.Product = Latin1Property(hid, "HID_NAME");
    strings.SerialNumber = Latin1Property(hid, "HID_UNIQ");
  }
  return strings;
}

}  // namespace

std::vector<THidrawNode> ScanHidrawNodes() {
  std::vector<THidrawNode> nodes;
  TUdevPtr<udev> context(udev_new());
  if (!context) return nodes;
  TUdevPtr<udev_enumerate> enumerate(udev_enumerate_new(context.get()));
  if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "hidraw") < 0 ||
      udev_enumerate_scan_devices(enumerate.get()) < 0)
    return nodes;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
    TUdevPtr<udev_device> device(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    if (!device) continue;
    if (auto node = NodeOf(device.get())) nodes.push_back(std::move(*node));
  }
  return nodes;
}

std::unique_ptr<THidDevice> OpenHidrawNode(const THidrawNode& node) {
  const int fd = open(node.DevNode.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  // Identify what was opened by its device number, not by its name.
  struct stat status {};
  TUdevPtr<udev> context(udev_new());
  TUdevPtr<udev_device> device;
  if (fstat(fd, &status) == 0 && S_ISCHR(status.st_mode) && context)
    device.reset(udev_device_new_from_devnum(context.get(), 'c', status.st_rdev));
  auto opened = device ? NodeOf(device.get()) : std::nullopt;
  if (!opened || opened->Hid.Text != node.Hid.Text) {
    close(fd);
    return nullptr;
  }
  return THidrawDevice::Adopt(fd, StringsOf(device.get()));
}

std::unique_ptr<THidrawMonitor> THidrawMonitor::Start(TEventHandler handler) {
  TUdevPtr<udev> context(udev_new());
  if (!context) return nullptr;
  udev_monitor* monitor = udev_monitor_new_from_netlink(context.get(), "udev");
  if (!monitor) return nullptr;
  const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor) < 0 || wakeFd < 0) {
    if (wakeFd >= 0) close(wakeFd);
    udev_monitor_unref(monitor);
    return nullptr;
  }
  try {
    auto started =
        std::unique_ptr<THidrawMonitor>(new THidrawMonitor(context.get(), monitor, wakeFd, std::move(handler)));
    context.release();  // the monitor owns the context now
    return started;
  } catch (const std::system_error&) {  // no thread could be started
    close(wakeFd);
    udev_monitor_unref(monitor);
    return nullptr;
  }
}

THidrawMonitor::THidrawMonitor(udev* context, udev_monitor* monitor, int wakeFd, TEventHandler handler)
    : context_(context), monitor_(monitor), wakeFd_(wakeFd), handler_(std::move(handler)), thread_([this] { Run(); }) {}

THidrawMonitor::~THidrawMonitor() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t ignored = write(wakeFd_, &one, sizeof one);
  thread_.join();
  close(wakeFd_);
  udev_monitor_unref(monitor_);
  udev_unref(context_);
}

void THidrawMonitor::Run() {
  pollfd fds[2] = {{udev_monitor_get_fd(monitor_), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
  for (;;) {
    const int ready = poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || fds[1].revents != 0) return;
    if ((fds[0].revents & POLLIN) == 0) return;  // the socket failed: no more events will come
    // NULL when the socket had nothing whole to give (an overrun, a message from elsewhere).
    TUdevPtr<udev_device> device(udev_monitor_receive_device(monitor_));
    if (!device) continue;
    // On "remove" sysfs is gone already: the node then comes from DEVPATH and DEVNAME alone.
    const auto node = NodeOf(device.get());
    if (!node) continue;
    try {
      handler_(Text(udev_device_get_action(device.get())), *node);
    } catch (...) {
      // A notification that cannot be built (out of memory) is dropped; the thread carries on.
    }
  }
}

}  // namespace qm::hid::hidraw
