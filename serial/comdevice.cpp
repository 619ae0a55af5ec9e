#include "comdevice.h"

#include <algorithm>
#include <thread>

namespace rv58 {

bool DrainOutputBounded(TComDevice& device, std::uint32_t baud, std::chrono::milliseconds margin) {
  using Clock = std::chrono::steady_clock;
  std::size_t queued = device.OutputQueued();
  if (queued == 0)
    return true;
  // 12 bits per character covers start, 8 data, parity and two stop bits.
  const std::uint64_t rate = std::max<std::uint32_t>(baud, 50);
  const auto needed = std::chrono::milliseconds(static_cast<std::int64_t>(queued * 12 * 1000 / rate));
  const auto deadline = Clock::now() + needed + margin;
  while ((queued = device.OutputQueued()) > 0) {
    if (Clock::now() >= deadline) {
      device.DiscardOutput();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

} // namespace rv58
