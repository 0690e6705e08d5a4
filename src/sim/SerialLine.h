// A simulated UART line between a virtual bridge chip and a simulated meter. Each direction is a
// byte channel that remembers the baud rate every byte was sent at: a receiver set to another rate
// gets garbled bytes, as on a real line.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

namespace qm::sim {

class TByteChannel {
 public:
  // Queues bytes sent at `baud`. Thread-safe; never blocks.
  void Send(const std::uint8_t* data, std::size_t size, std::uint32_t baud);
  // Takes up to `max` bytes, waiting up to `timeout` for the first one. Bytes sent at a rate other
  // than `baud` come out garbled. Returns the number of bytes taken (0 on time-out or when closed).
  std::size_t Receive(std::uint8_t* out, std::size_t max, std::chrono::milliseconds timeout, std::uint32_t baud);
  // Bytes waiting to be received.
  std::size_t Pending() const;
  // Drops everything queued.
  void Purge();
  // Wakes every waiting receiver; later receives return at once with what is queued.
  void Close();
  void Reopen();

  // What a receiver at `receiverBaud` makes of a byte sent at `senderBaud`.
  static std::uint8_t Garble(std::uint8_t byte, std::uint32_t senderBaud, std::uint32_t receiverBaud);

 private:
  struct Item {
    std::uint8_t byte;
    std::uint32_t baud;
  };
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Item> items_;
  bool closed_ = false;
};

// Both directions of one line.
struct TSerialLine {
  TByteChannel toHost;   // meter TX -> bridge RX
  TByteChannel toMeter;  // bridge TX -> meter RX
};

}  // namespace qm::sim
