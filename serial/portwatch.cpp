#include "portwatch.h"

#include <algorithm>

namespace rv58 {

bool UeventConcernsTty(std::string_view message) {
  // Both the kernel's text ("add@/devices/...\0ACTION=add\0...") and udev's binary header with
  // its property block split into NUL-separated fields; only the property itself matches.
  while (!message.empty()) {
    const std::size_t end = message.find('\0');
    if (message.substr(0, end) == "SUBSYSTEM=tty")
      return true;
    if (end == std::string_view::npos)
      break;
    message.remove_prefix(end + 1);
  }
  return false;
}

TPortChangeDebounce::Clock::time_point TPortChangeDebounce::Event(Clock::time_point now) {
  if (!due_) {
    Clock::time_point due = now + kSettle;
    if (lastListed_)
      due = std::max(due, *lastListed_ + kGap);
    due_ = due;
  }
  return *due_;
}

void TPortChangeDebounce::Listed(Clock::time_point now) {
  due_.reset();
  lastListed_ = now;
}

} // namespace rv58
