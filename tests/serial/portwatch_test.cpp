// The port watcher's rules that hold on every system: which device messages concern a port, and
// when the ports are listed again after device events.
#include "portwatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rv58 {
namespace {

using namespace std::string_literals;

struct UeventCase {
  const char* name;
  std::string message;
  bool tty;
};

class UeventConcernsTtyTest : public ::testing::TestWithParam<UeventCase> {};

TEST_P(UeventConcernsTtyTest, OnlyTheTtySubsystemCounts) {
  EXPECT_EQ(UeventConcernsTty(GetParam().message), GetParam().tty);
}

// udev's message: its binary header (with NUL bytes of its own), then the properties.
std::string UdevMessage(const std::string& properties) {
  return "libudev\0\xfe\xed\xca\xfe\x28\0\0\0"s + std::string(28, '\0') + properties;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, UeventConcernsTtyTest,
    ::testing::Values(
        UeventCase{"KernelTtyAdd",
                   "add@/devices/pci0000:00/usb1/1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0\0ACTION=add\0"
                   "DEVPATH=/devices/pci0000:00/usb1/1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0\0SUBSYSTEM=tty\0"
                   "MAJOR=188\0MINOR=0\0DEVNAME=ttyUSB0\0SEQNUM=4242\0"s,
                   true},
        UeventCase{"KernelTtyRemoveLastField",
                   "remove@/devices/virtual/tty/tty63\0ACTION=remove\0SUBSYSTEM=tty"s, true},
        UeventCase{"KernelUsbSerialIsNotTheTty",
                   "add@/devices/usb1/1-2/1-2:1.0/ttyUSB0\0ACTION=add\0SUBSYSTEM=usb-serial\0"s, false},
        UeventCase{"ASimilarSubsystem", "add@/devices/x\0SUBSYSTEM=ttyfoo\0"s, false},
        UeventCase{"TheWordInAValue", "change@/devices/x\0SUBSYSTEM=input\0NOTE=SUBSYSTEM=tty\0"s, false},
        UeventCase{"UdevTty", UdevMessage("ACTION=add\0DEVPATH=/devices/x/tty/ttyACM0\0SUBSYSTEM=tty\0"s),
                   true}),
    [](const auto& info) { return std::string(info.param.name); });

// Listing times (milliseconds) for events at the given times, on a clock stepping 1 ms.
std::vector<int> Listings(const std::vector<int>& events, int until) {
  using Clock = TPortChangeDebounce::Clock;
  const Clock::time_point start{};
  TPortChangeDebounce debounce;
  std::vector<int> listed;
  std::size_t next = 0;
  for (int t = 0; t <= until; ++t) {
    const Clock::time_point now = start + std::chrono::milliseconds(t);
    while (next < events.size() && events[next] == t) {
      debounce.Event(now);
      ++next;
    }
    if (debounce.Due() && *debounce.Due() <= now) {
      debounce.Listed(now);
      listed.push_back(t);
    }
  }
  return listed;
}

struct DebounceCase {
  const char* name;
  std::vector<int> events;
  std::vector<int> listings;
};

class PortChangeDebounceTest : public ::testing::TestWithParam<DebounceCase> {};

TEST_P(PortChangeDebounceTest, ListsOnceAfterTheEventsSettleAndNotTwiceWithinHalfASecond) {
  EXPECT_EQ(Listings(GetParam().events, 5000), GetParam().listings);
}

// A flood from a failing hub: an event every millisecond for three seconds.
std::vector<int> Flood() {
  std::vector<int> events;
  for (int t = 0; t < 3000; ++t)
    events.push_back(t);
  return events;
}

INSTANTIATE_TEST_SUITE_P(
    Events, PortChangeDebounceTest,
    ::testing::Values(DebounceCase{"One", {0}, {150}},
                      // One adapter: USB device, interface, serial port, tty, udev's rules.
                      DebounceCase{"OneAdapter", {0, 2, 5, 20, 60}, {150}},
                      DebounceCase{"SoonAfterAListing", {0, 200}, {150, 650}},
                      DebounceCase{"JustAfterAListing", {0, 151}, {150, 650}},
                      DebounceCase{"LongAfter", {0, 2000, 2010}, {150, 2150}},
                      // At most twice a second, and the last listing after the last event.
                      DebounceCase{"Flood", Flood(), {150, 650, 1150, 1650, 2150, 2650, 3150}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace rv58
