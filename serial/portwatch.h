#pragma once

// Following the machine's serial ports: the platform reports that "the set of ports may have
// changed" (a USB adapter plugged in, pulled out, moved to another socket), and the debounce
// turns the several events of one adapter, or a flood from a failing hub, into few listings.
// Nothing here opens a port: whoever is told lists the ports again from the port table.

#include "portsources.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace rv58 {

// Called on the source's own thread, once for each batch of device events that may concern a port.
using TPortChanged = std::function<void()>;

// The platform's device events (one file per platform: portwatch_posix.cpp, portwatch_win.cpp).
// The source waits on a thread of its own that sleeps in the system until an event comes, so it
// costs nothing while nothing changes. Destroying it stops the thread; `changed` is not called
// once the destructor has returned.
class TPortEventSource {
public:
  virtual ~TPortEventSource() = default;
  // What is followed and how, in a few words ("kernel uevents (netlink)").
  virtual std::string Method() const = 0;
};

// Starts following the ports of `sys`: on the machine itself its device events, on a folder that
// stands for a system (a test's fake tree) that folder's device nodes and tty class. Nothing when
// the platform offers no way to follow them; the caller then keeps polling.
std::unique_ptr<TPortEventSource> WatchPorts(const TPortSystem& sys, TPortChanged changed);

// Whether one kernel or udev device message (NUL-separated fields) is about a tty: only those can
// change the set of serial ports.
bool UeventConcernsTty(std::string_view message);

// When the ports are listed again after device events: a short settling time after the first
// event, since one adapter's appearance is several events (USB device, interface, serial port,
// tty, the device manager's rules), and at least kGap between two listings however many events
// come, so a flood lists at most twice a second. Events that come while a listing is due are
// taken in by it.
class TPortChangeDebounce {
public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kSettle{150};
  static constexpr std::chrono::milliseconds kGap{500};

  // An event came at `now`; returns when the listing is due.
  Clock::time_point Event(Clock::time_point now);
  // When a listing is due, nothing when none is.
  std::optional<Clock::time_point> Due() const { return due_; }
  // The listing runs at `now`.
  void Listed(Clock::time_point now);

private:
  std::optional<Clock::time_point> due_;
  std::optional<Clock::time_point> lastListed_;
};

} // namespace rv58
