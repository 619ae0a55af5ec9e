// TComPort on the fake device, where port names stand for other device paths (Linux numbering).
#include "comport_fakeport.h"
#include "portnames.h"

#include <gtest/gtest.h>

namespace rv58 {
namespace {

using test::FakePort;

TEST_F(FakePort, PortNamesGoThroughThePortTablePathsAreUsedUnchanged) {
  port.Port = "COM3";
  port.Open();
  port.Close();
  port.Port = "/dev/pts/77";
  port.Open();
  port.Close();
  port.Port = "com12";
  port.Open();
  port.Close();
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths[0], port.PortNames.DevicePath("COM3"));
  EXPECT_NE(paths[0], "COM3");
  EXPECT_EQ(paths[1], "/dev/pts/77");
  EXPECT_EQ(paths[2], port.PortNames.DevicePath("com12"));
}

} // namespace
} // namespace rv58
