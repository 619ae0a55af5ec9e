// Speeds without a termios constant, on a pseudo-terminal. Apart from the other pty tests because
// the kernel's termios2 header clashes with <termios.h>.
#include "ComPort.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace rv58 {
namespace {

TEST(ArbitrarySpeed, SpeedsWithoutATermiosConstantAreSetAndReadBack) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string slave = ::ptsname(master);
  TComPort port{THandOff()};
  port.Port = slave;
  for (const std::uint32_t baud : {14400u, 28800u, 56000u, 128000u, 256000u, 9600u}) {
    port.Baud = baud;
    port.Open();
    ASSERT_TRUE(port.Active()) << baud;
    termios2 t{};
    ASSERT_EQ(::ioctl(master, TCGETS2, &t), 0);
    EXPECT_EQ(t.c_ospeed, baud);
    EXPECT_EQ(t.c_ispeed, baud);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8)) << "the rest of the line is set too";
    port.Close();
  }
  ::close(master);
}

} // namespace
} // namespace rv58
