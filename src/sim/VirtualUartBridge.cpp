#include "sim/VirtualUartBridge.h"

#include <utility>

namespace qm::sim {

TVirtualUartBridge::TVirtualUartBridge(TVirtualIdentity identity, std::vector<std::uint8_t> reportDescriptor,
                                       std::shared_ptr<TSerialLine> line, std::uint32_t baud, bool uartEnabled)
    : TVirtualHidInterface(std::move(identity), std::move(reportDescriptor)),
      line_(line ? std::move(line) : std::make_shared<TSerialLine>()),
      baud_(baud),
      enabled_(uartEnabled) {}

void TVirtualUartBridge::PowerOn() {
  line_->toHost.Purge();
  line_->toMeter.Purge();
}

void TVirtualUartBridge::SetUartEnabled(bool on) {
  if (on && !enabled_.exchange(true)) line_->toHost.Purge();
  if (!on) enabled_ = false;
}

void TVirtualUartBridge::Transmit(const std::uint8_t* data, std::size_t size) {
  if (enabled_) line_->toMeter.Send(data, size, baud_);
}

int TVirtualUartBridge::Receive(std::uint8_t* out, std::size_t max, int timeoutMs, const TAbortCheck& aborted) {
  return WaitInSlices(timeoutMs, aborted, [&](std::chrono::milliseconds slice) -> std::size_t {
    // The rate is taken afresh for every slice, so a new baud rate applies at once.
    return enabled_ ? line_->toHost.Receive(out, max, slice, baud_) : 0;
  });
}

}  // namespace qm::sim
