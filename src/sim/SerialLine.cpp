#include "sim/SerialLine.h"

namespace qm::sim {

std::uint8_t TByteChannel::Garble(std::uint8_t byte, std::uint32_t senderBaud, std::uint32_t receiverBaud) {
  if (senderBaud == receiverBaud) return byte;
  // A receiver sampling at the wrong rate sees a different bit pattern; any fixed scramble that
  // depends on both rates and never maps the start bytes onto themselves serves the simulation.
  std::uint32_t mix = (senderBaud * 2654435761u) ^ (receiverBaud * 40503u);
  std::uint8_t key = static_cast<std::uint8_t>((mix >> 13) | 0x11);
  return static_cast<std::uint8_t>(((byte * 37u) + 11u) ^ key);
}

void TByteChannel::Send(const std::uint8_t* data, std::size_t size, std::uint32_t baud) {
  if (size == 0) return;
  {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < size; ++i) items_.push_back({data[i], baud});
  }
  cv_.notify_all();
}

std::size_t TByteChannel::Receive(std::uint8_t* out, std::size_t max, std::chrono::milliseconds timeout,
                                  std::uint32_t baud) {
  std::unique_lock lock(mutex_);
  if (!cv_.wait_for(lock, timeout, [&] { return !items_.empty() || closed_; })) return 0;
  std::size_t n = 0;
  while (n < max && !items_.empty()) {
    out[n++] = Garble(items_.front().byte, items_.front().baud, baud);
    items_.pop_front();
  }
  return n;
}

std::size_t TByteChannel::Pending() const {
  std::lock_guard lock(mutex_);
  return items_.size();
}

void TByteChannel::Purge() {
  std::lock_guard lock(mutex_);
  items_.clear();
}

void TByteChannel::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  cv_.notify_all();
}

void TByteChannel::Reopen() {
  std::lock_guard lock(mutex_);
  closed_ = false;
}

}  // namespace qm::sim
