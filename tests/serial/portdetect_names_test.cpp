// Port names and the "Ports" section's explicit entries, alike on every system.
#include "portnames.h"
#include "testutil_tempdir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace rv58 {
namespace {

TEST(PortNames, PortNumberAcceptsOneTo256InAnyLetterCase) {
  EXPECT_EQ(PortNumber("COM1"), 1);
  EXPECT_EQ(PortNumber("com7"), 7);
  EXPECT_EQ(PortNumber("CoM256"), 256);
  EXPECT_EQ(PortNumber("COM$10"), 16); // the shared conversion
  for (const char* bad : {"COM0", "COM257", "COMX", "COM", "COM-1", "COM1 ", "LPT1", "/dev/ttyS0"})
    EXPECT_EQ(PortNumber(bad), std::nullopt) << bad;
}

TEST(PortNames, ExplicitEntriesFromTheSectionFirstOfANumberWins) {
  const TIniPairs pairs = {{"com7", "/dev/pts/4"},
                           {"COM3", "/dev/serial/by-id/x"},
                           {"COM07", "/dev/other"},
                           {"COM0", "/dev/a"},
                           {"COM257", "/dev/b"},
                           {"COMX", "/dev/c"},
                           {"COM5", ""},
                           {"baud", "9600"},
                           {"COM256", "/dev/last"}};
  const auto ports = ParseExplicitPorts(pairs);
  ASSERT_EQ(ports.size(), 3u);
  EXPECT_EQ(ports[0].number, 7);
  EXPECT_EQ(ports[0].path, "/dev/pts/4");
  EXPECT_EQ(ports[1].number, 3);
  EXPECT_EQ(ports[2].number, 256);
}

// The table's rules in the system's own device names (its fixed defaults), so they hold alike on
// every system: an explicit entry owns its number and its device, which keeps no second number.
TEST(PortNameTable, AnExplicitEntryTakesADeviceFromItsDefaultNumber) {
  test::TempDir root;
  TPortSystem sys;
  sys.root = root.Path().string();
  sys.requireCharDevices = false;
  std::vector<std::string> devices;
  for (int n : {1, 2, 3}) {
    devices.push_back(DefaultDevicePath(n));
    // A device node below the root stands in for the device; a Windows port name needs none (and
    // a file named COMn there would be the port itself).
    if (devices.back().starts_with('/')) {
      const std::filesystem::path node = root.Path() / devices.back().substr(1);
      std::filesystem::create_directories(node.parent_path());
      std::ofstream(node) << "";
    }
  }
  const TPortNameTable plain(sys, {}, devices);
  for (int n : {1, 2, 3}) {
    EXPECT_EQ(plain.NumberOf(DefaultDevicePath(n)), n);
    EXPECT_EQ(plain.PathOf(n), DefaultDevicePath(n));
  }
  EXPECT_FALSE(plain.IsExplicit(1));

  const TPortNameTable table(sys, ParseExplicitPorts({{"COM1", DefaultDevicePath(3)}}), devices);
  EXPECT_EQ(table.PathOf(1), DefaultDevicePath(3));
  EXPECT_EQ(table.NumberOf(DefaultDevicePath(3)), 1);
  EXPECT_EQ(table.PathOf(3), "") << "a device named explicitly keeps no second number";
  EXPECT_EQ(table.NumberOf(DefaultDevicePath(2)), 2);
  EXPECT_TRUE(table.IsExplicit(1));
  // The device that lost its number goes to the pool of other devices, where the system has one.
  const auto pooled = table.NumberOf(DefaultDevicePath(1));
  if (kFirstOtherPortNumber <= kMaxPortNumber)
    EXPECT_EQ(pooled, kFirstOtherPortNumber);
  else
    EXPECT_EQ(pooled, std::nullopt);
}

} // namespace
} // namespace rv58
