#include "devices/linux/HidrawDevice.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>

#include "devices/ReportDescriptor.h"
#include "devices/linux/HidrawNames.h"

namespace qm::hid::hidraw {
namespace {

// The feature ioctls carry the buffer length in their request code, which has room for 14 bits.
constexpr std::size_t kMaxIoctlLength = (std::size_t{1} << _IOC_SIZEBITS) - 1;

template <typename TCall>
auto RetryOnInterrupt(TCall call) {
  for (;;) {
    auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}

bool CopyString(const std::optional<std::string>& value, std::string& text) {
  if (!value) return false;
  text = *value;
  return true;
}

// Milliseconds left until `deadline`, rounded up so that a wait never ends early.
int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = deadline - std::chrono::steady_clock::now();
  if (left <= left.zero()) return 0;
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

}  // namespace

std::unique_ptr<THidrawDevice> THidrawDevice::Adopt(int fd, TNodeStrings strings) {
  const int cancelFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (cancelFd < 0) {
    close(fd);
    return nullptr;
  }
  return std::unique_ptr<THidrawDevice>(new THidrawDevice(fd, cancelFd, std::move(strings)));
}

THidrawDevice::THidrawDevice(int fd, int cancelFd, TNodeStrings strings)
    : fd_(fd), cancelFd_(cancelFd), strings_(std::move(strings)) {}

THidrawDevice::~THidrawDevice() {
  close(fd_);
  close(cancelFd_);
}

bool THidrawDevice::GetAttributes(TAttributes& attributes) {
  hidraw_devinfo info{};
  if (RetryOnInterrupt([&] { return ioctl(fd_, HIDIOCGRAWINFO, &info); }) < 0) return false;
  // The kernel declares vendor and product as signed 16-bit numbers.
  attributes.VendorID = static_cast<std::uint16_t>(info.vendor);
  attributes.ProductID = static_cast<std::uint16_t>(info.product);
  attributes.VersionNumber = strings_.Revision.value_or(0);
  return true;
}

bool THidrawDevice::GetManufacturerString(std::string& text) { return CopyString(strings_.Manufacturer, text); }
bool THidrawDevice::GetProductString(std::string& text) { return CopyString(strings_.Product, text); }
bool THidrawDevice::GetSerialNumberString(std::string& text) { return CopyString(strings_.SerialNumber, text); }

bool THidrawDevice::GetIndexedString(int index, std::string& text) {
  switch (StringRoleOfIndex(strings_.DeviceDescriptor.data(), strings_.DeviceDescriptor.size(), index)) {
    case TStringRole::Manufacturer:
      return CopyString(strings_.Manufacturer, text);
    case TStringRole::Product:
      return CopyString(strings_.Product, text);
    case TStringRole::SerialNumber:
      return CopyString(strings_.SerialNumber, text);
    case TStringRole::None:
      break;
  }
  return false;
}

bool THidrawDevice::GetFeatureReportByteLength(std::uint16_t& length) {
  int size = 0;
  if (RetryOnInterrupt([&] { return ioctl(fd_, HIDIOCGRDESCSIZE, &size); }) < 0) return false;
  auto descriptor = std::make_unique<hidraw_report_descriptor>();
  descriptor->size = static_cast<std::uint32_t>(std::clamp(size, 0, HID_MAX_DESCRIPTOR_SIZE));
  if (RetryOnInterrupt([&] { return ioctl(fd_, HIDIOCGRDESC, descriptor.get()); }) < 0) return false;
  length = FeatureReportByteLength(descriptor->value, descriptor->size);
  return true;
}

int THidrawDevice::ReadInputReport(std::uint8_t* buffer, std::size_t size, int timeoutMs) {
  if (buffer == nullptr || size == 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  for (;;) {
    if (cancelled_.load()) return -1;
    pollfd fds[2] = {{fd_, POLLIN, 0}, {cancelFd_, POLLIN, 0}};
    const int ready = poll(fds, 2, timeoutMs < 0 ? -1 : MillisecondsLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || fds[1].revents != 0) return -1;
    if (ready == 0) return 0;
    if ((fds[0].revents & POLLIN) != 0) {
      const ssize_t got = read(fd_, buffer, std::min<std::size_t>(size, INT_MAX));
      if (got > 0) return static_cast<int>(got);
      // 0 is the end of the file; EIO and ENODEV mean the device is gone.
      if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return -1;
      continue;
    }
    return -1;  // POLLERR, POLLHUP or POLLNVAL without a report left: the device is gone
  }
}

int THidrawDevice::WriteOutputReport(const std::uint8_t* report, std::size_t size) {
  if (report == nullptr || size == 0) return -1;
  const ssize_t written = RetryOnInterrupt([&] { return write(fd_, report, std::min<std::size_t>(size, INT_MAX)); });
  return written < 0 ? -1 : static_cast<int>(written);
}

int THidrawDevice::GetFeatureReport(std::uint8_t* report, std::size_t size) {
  if (report == nullptr || size == 0) return -1;
  const std::size_t length = std::min(size, kMaxIoctlLength);
  const int got = RetryOnInterrupt([&] { return ioctl(fd_, HIDIOCGFEATURE(length), report); });
  return got < 0 ? -1 : got;
}

int THidrawDevice::SetFeatureReport(const std::uint8_t* report, std::size_t size) {
  if (report == nullptr || size == 0) return -1;
  const std::size_t length = std::min(size, kMaxIoctlLength);
  // The kernel only reads the buffer.
  const int sent =
      RetryOnInterrupt([&] { return ioctl(fd_, HIDIOCSFEATURE(length), const_cast<std::uint8_t*>(report)); });
  return sent < 0 ? -1 : sent;
}

void THidrawDevice::CancelIo() {
  cancelled_.store(true);
  const std::uint64_t one = 1;
  // Never blocks: the counter cannot overflow from a few cancels.
  [[maybe_unused]] const ssize_t ignored = write(cancelFd_, &one, sizeof one);
}

}  // namespace qm::hid::hidraw
