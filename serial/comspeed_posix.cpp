#include "comspeed_posix.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace rv58 {

bool SetArbitrarySpeed(int fd, std::uint32_t baud) {
  termios2 t{};
  if (::ioctl(fd, TCGETS2, &t) != 0)
    return false;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = baud;
  t.c_ospeed = baud;
  return ::ioctl(fd, TCSETS2, &t) == 0;
}

} // namespace rv58
