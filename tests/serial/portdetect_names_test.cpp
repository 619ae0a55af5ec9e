// Port names and the "Ports" section's explicit entries, alike on every system.
#include "portnames.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

} // namespace
} // namespace rv58
