// Linux back-end of the device interface: termios in raw mode, exclusive open (TIOCEXCL and
// flock), poll() on the device and an eventfd for the stop request, modem lines and line errors
// sampled while waiting.
#include "comdevice.h"
#include "comspeed_posix.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace rv58 {
namespace {

// How often modem lines and error counters are sampled while waiting; Linux cannot poll them.
constexpr int kModemPollMs = 40;

bool Unsupported(int err) {
  return err == ENOTTY || err == EINVAL;
}

bool DeviceGoneError(int err) {
  return err == EIO || err == ENXIO || err == ENODEV || err == EBADF;
}

speed_t SpeedFor(std::uint32_t baud, bool& ok) {
  ok = true;
  switch (baud) {
  case 50:
    return B50;
  case 75:
    return B75;
  case 110:
    return B110;
  case 134:
    return B134;
  case 150:
    return B150;
  case 200:
    return B200;
  case 300:
    return B300;
  case 600:
    return B600;
  case 1200:
    return B1200;
  case 1800:
    return B1800;
  case 2400:
    return B2400;
  case 4800:
    return B4800;
  case 9600:
    return B9600;
  case 19200:
    return B19200;
  case 38400:
    return B38400;
  case 57600:
    return B57600;
  case 115200:
    return B115200;
  case 230400:
    return B230400;
  case 460800:
    return B460800;
  case 500000:
    return B500000;
  case 576000:
    return B576000;
  case 921600:
    return B921600;
  case 1000000:
    return B1000000;
  case 1152000:
    return B1152000;
  case 1500000:
    return B1500000;
  case 2000000:
    return B2000000;
  case 2500000:
    return B2500000;
  case 3000000:
    return B3000000;
  case 3500000:
    return B3500000;
  case 4000000:
    return B4000000;
  default:
    ok = false;
    return B9600;
  }
}

class TPosixComDevice final : public TComDevice {
public:
  TPosixComDevice(int fd, int stopFd, bool exclusiveSet, const termios& found)
      : fd_(fd), stopFd_(stopFd), exclusiveSet_(exclusiveSet), found_(found) {
    ResetEvents();
  }
  ~TPosixComDevice() override {
    Close();
    ::close(stopFd_);
  }

  bool SetLine(const TLineSettings& s) override {
    if (fd_ < 0)
      return false;
    termios t{};
    if (::tcgetattr(fd_, &t) != 0)
      return false;
    const termios before = t;
    // A speed without a termios constant (14400, 28800, 56000 ...) goes through the kernel's
    // arbitrary-rate interface once the rest is set; 0 would hang the line up.
    bool standardSpeed = false;
    const speed_t speed = SpeedFor(s.Baud, standardSpeed);
    if (s.Baud == 0)
      return false;
    ::cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | PARMRK | ISTRIP);
    t.c_iflag |= IGNBRK;
    // Leave DTR and RTS alone on close, and no flow control of any kind.
    t.c_cflag &= ~static_cast<tcflag_t>(HUPCL | CRTSCTS | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    t.c_cflag |= CLOCAL | CREAD;
    switch (s.DataBits) {
    case 5:
      t.c_cflag |= CS5;
      break;
    case 6:
      t.c_cflag |= CS6;
      break;
    case 7:
      t.c_cflag |= CS7;
      break;
    case 8:
      t.c_cflag |= CS8;
      break;
    default:
      return false;
    }
    switch (s.Parity) {
    case 0:
      break;
    case 1:
      t.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      t.c_cflag |= PARENB;
      break;
    case 3:
      t.c_cflag |= PARENB | PARODD | CMSPAR;
      break;
    case 4:
      t.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      return false;
    }
    switch (s.StopBits) {
    case 0:
      break;
    case 1: // one and a half exist only with 5 data bits, where the UART sends them for CSTOPB
      if (s.DataBits != 5)
        return false;
      t.c_cflag |= CSTOPB;
      break;
    case 2:
      if (s.DataBits == 5)
        return false;
      t.c_cflag |= CSTOPB;
      break;
    default:
      return false;
    }
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    t.c_cflag &= ~static_cast<tcflag_t>(CIBAUD); // the input speed follows the output speed
    if (standardSpeed) {
      ::cfsetispeed(&t, speed);
      ::cfsetospeed(&t, speed);
    }
    if (::tcsetattr(fd_, TCSANOW, &t) != 0)
      return false;
    if (!standardSpeed && !SetArbitrarySpeed(fd_, s.Baud)) {
      ::tcsetattr(fd_, TCSANOW, &before);
      return false;
    }
    baud_ = s.Baud;
    return true;
  }

  bool SetQueueSizes(std::uint32_t, std::uint32_t) override {
    // The Linux tty layer sizes its buffers itself.
    return fd_ >= 0;
  }

  void Purge() override {
    if (fd_ >= 0)
      ::tcflush(fd_, TCIOFLUSH);
  }

  bool SetModemLine(TModemLine line, bool on) override {
    if (fd_ < 0)
      return false;
    int bits = line == TModemLine::mlDTR ? TIOCM_DTR : TIOCM_RTS;
    return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
  }

  long Write(const char* data, std::size_t size) override {
    if (fd_ < 0)
      return -1;
    if (size == 0)
      return ::write(fd_, data, 0);
    // The descriptor is non-blocking; when the driver's buffer is full, wait for room, but no
    // longer than the bytes need on the line, so nothing handed to us is dropped silently.
    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(1000 + static_cast<std::int64_t>(size) * 12 * 1000 / baud_);
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::write(fd_, data + done, size - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0 && errno == EAGAIN) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
          break;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)))
          break;
        continue;
      }
      break;
    }
    return done == 0 && size > 0 ? -1 : static_cast<long>(done);
  }

  long Read(char* data, std::size_t size) override {
    if (fd_ < 0)
      return -1;
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::read(fd_, data + done, size - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR)
        continue;
      break;
    }
    return static_cast<long>(done);
  }

  bool QueryAndClearErrors(std::uint32_t& queued) override {
    queued = 0;
    if (fd_ < 0)
      return false;
    int n = 0;
    if (::ioctl(fd_, TIOCINQ, &n) != 0 || n < 0)
      return false;
    queued = static_cast<std::uint32_t>(n);
    // Linux keeps no error state to clear; line errors are counted and seen by WaitForEvents.
    return true;
  }

  std::size_t OutputQueued() override {
    int n = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCOUTQ, &n) != 0 || n < 0)
      return 0;
    return static_cast<std::size_t>(n);
  }

  void DiscardOutput() override {
    if (fd_ >= 0)
      ::tcflush(fd_, TCOFLUSH);
  }

  std::uint32_t ModemStatus() override {
    bool supported = false;
    const int bits = SampleModemBits(supported);
    return supported ? ToModemStatus(bits) : 0;
  }

  TWaitResult WaitForEvents(std::uint32_t& mask) override {
    mask = 0;
    for (;;) {
      const bool watchDevice = fd_ >= 0 && !gone_;
      pollfd p[2] = {{stopFd_, POLLIN, 0}, {fd_, POLLIN, 0}};
      // Without modem lines to sample (pseudo-terminals) or once the device is gone, the wait has
      // no time limit, so an idle port costs nothing.
      const int timeout = watchDevice && (modemSupported_ || countersSupported_) ? kModemPollMs : -1;
      const int r = ::poll(p, watchDevice ? 2 : 1, timeout);
      if (r < 0) {
        if (errno == EINTR)
          continue;
        std::this_thread::sleep_for(std::chrono::milliseconds(10)); // never spin on a failing wait
        return TWaitResult::wrFailed;
      }
      if (p[0].revents != 0)
        return TWaitResult::wrStop;
      if (!watchDevice)
        continue;
      if (p[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        // Hung up (adapter pulled, pty master closed): poll would report it forever.
        gone_ = true;
        continue;
      }
      if (p[1].revents & POLLIN)
        mask |= evRXCHAR;
      mask |= SampleChanges();
      if (gone_)
        mask &= evRXCHAR;
      if (mask != 0)
        return TWaitResult::wrEvents;
    }
  }

  void ResetEvents() override {
    modemBits_ = SampleModemBits(modemSupported_);
    errorCount_ = SampleErrorCount(countersSupported_);
  }

  bool HungUp() const override { return gone_; }

  void RequestStop() override {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopFd_, &one, sizeof one);
  }

  void Close() override {
    if (fd_ < 0)
      return;
    // The line as this opening found it (a terminal opened as a port gets its own settings back).
    ::tcsetattr(fd_, TCSANOW, &found_);
    // Only an exclusivity this opening set is ours to clear.
    if (exclusiveSet_)
      ::ioctl(fd_, TIOCNXCL);
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
  }

private:
  static std::uint32_t ToModemStatus(int bits) {
    std::uint32_t ms = 0;
    if (bits & TIOCM_CTS)
      ms |= msCTS_ON;
    if (bits & TIOCM_DSR)
      ms |= msDSR_ON;
    if (bits & TIOCM_RI)
      ms |= msRING_ON;
    if (bits & TIOCM_CD)
      ms |= msRLSD_ON;
    return ms;
  }

  int SampleModemBits(bool& supported) {
    int bits = 0;
    supported = fd_ >= 0 && ::ioctl(fd_, TIOCMGET, &bits) == 0;
    if (!supported && fd_ >= 0 && DeviceGoneError(errno))
      gone_ = true;
    return supported ? bits : 0;
  }

  long SampleErrorCount(bool& supported) {
    serial_icounter_struct c{};
    supported = fd_ >= 0 && ::ioctl(fd_, TIOCGICOUNT, &c) == 0;
    if (!supported && fd_ >= 0 && DeviceGoneError(errno))
      gone_ = true;
    return supported ? static_cast<long>(c.frame) + c.overrun + c.parity + c.buf_overrun : 0;
  }

  std::uint32_t SampleChanges() {
    std::uint32_t mask = 0;
    if (modemSupported_) {
      bool ok = false;
      const int bits = SampleModemBits(ok);
      if (ok) {
        const int changed = bits ^ modemBits_;
        modemBits_ = bits;
        if (changed & TIOCM_CTS)
          mask |= evCTS;
        if (changed & TIOCM_DSR)
          mask |= evDSR;
        if (changed & TIOCM_CD)
          mask |= evRLSD;
        if (changed & TIOCM_RI)
          mask |= evRING;
      } else if (Unsupported(errno)) {
        modemSupported_ = false;
      }
    }
    if (countersSupported_) {
      bool ok = false;
      const long count = SampleErrorCount(ok);
      if (ok) {
        if (count != errorCount_)
          mask |= evERR;
        errorCount_ = count;
      } else if (Unsupported(errno)) {
        countersSupported_ = false;
      }
    }
    return mask;
  }

  int fd_;
  const int stopFd_;
  const bool exclusiveSet_;       // this opening set TIOCEXCL
  const termios found_;           // the line settings at the opening
  std::uint32_t baud_ = 9600;     // the line's speed, for the bound of a blocked write
  std::atomic<bool> gone_{false}; // set by whichever thread sees the hang-up first
  // Reader-thread state (and the constructor's).
  bool modemSupported_ = false;
  bool countersSupported_ = false;
  int modemBits_ = 0;
  long errorCount_ = 0;
};

// Whether a process other than this opening has the character device `fd` open. Every holder is
// visible to root only; a /proc that cannot be read counts as a holder.
bool OpenElsewhere(int fd) {
  struct stat own {};
  if (::fstat(fd, &own) != 0)
    return true;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr)
    return true;
  const long self = static_cast<long>(::getpid());
  bool found = false;
  while (!found) {
    const dirent* process = ::readdir(proc);
    if (process == nullptr)
      break;
    char* end = nullptr;
    const long pid = std::strtol(process->d_name, &end, 10);
    if (end == process->d_name || *end != '\0')
      continue;
    const std::string fds = std::string("/proc/") + process->d_name + "/fd";
    DIR* dir = ::opendir(fds.c_str());
    if (dir == nullptr)
      continue; // ended meanwhile
    while (const dirent* entry = ::readdir(dir)) {
      const long n = std::strtol(entry->d_name, &end, 10);
      struct stat st {};
      if (end == entry->d_name || *end != '\0' || (pid == self && n == fd) ||
          ::fstatat(::dirfd(dir), entry->d_name, &st, 0) != 0)
        continue;
      if (S_ISCHR(st.st_mode) && st.st_rdev == own.st_rdev) {
        found = true;
        break;
      }
    }
    ::closedir(dir);
  }
  ::closedir(proc);
  return found;
}

const char* OpenFailure(int err) {
  switch (err) {
  case EBUSY:
    return kOpenBusy;
  case ENOENT:
  case ENODEV:
  case ENXIO:
  case ENOTDIR:
    return kOpenMissing;
  case EACCES:
  case EPERM:
    return kOpenNoRights;
  default:
    return std::strerror(err);
  }
}

} // namespace

bool SetCallingThreadPriority(TThreadPriority priority) {
  // Linux keeps a nice value per thread; one step above normal needs a privilege or RLIMIT_NICE.
  const auto thread = static_cast<id_t>(::gettid());
  errno = 0;
  const int normal = ::getpriority(PRIO_PROCESS, 0);
  if (normal == -1 && errno != 0)
    return false;
  const int nice = priority == TThreadPriority::tpAboveNormal ? normal - 1 : 19;
  return ::setpriority(PRIO_PROCESS, thread, nice) == 0;
}

void ShieldCallingThreadFromSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TComDevicePtr OpenComDevice(const std::string& path, std::string& error) {
  if (path.empty()) {
    error = kOpenNoPort;
    return nullptr;
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = OpenFailure(errno);
    return nullptr;
  }
  auto fail = [&](const char* what) -> TComDevicePtr {
    error = what;
    ::close(fd);
    return nullptr;
  };
  termios found{};
  if (::tcgetattr(fd, &found) != 0)
    return fail(kOpenNotSerial);
  // Root passes another program's TIOCEXCL at open(); that port is busy all the same. But the flag
  // outlives a program killed while it held the port (on a pseudo-terminal, until its master
  // closes): one that no process has open any more is stale and cleared. For other users the
  // kernel's refusal at open() stands.
  int heldExclusively = 0;
  if (::ioctl(fd, TIOCGEXCL, &heldExclusively) == 0 && heldExclusively != 0) {
    if (OpenElsewhere(fd))
      return fail(kOpenBusy);
    ::ioctl(fd, TIOCNXCL);
  }
  // flock stops a second opener for everyone (TIOCEXCL lets root through) and closes the race
  // between two openers that TIOCEXCL alone has.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
    return fail(kOpenBusy);
  bool exclusiveSet = ::ioctl(fd, TIOCEXCL) == 0;
  if (!exclusiveSet && !Unsupported(errno)) {
    const int err = errno;
    ::flock(fd, LOCK_UN);
    return fail(std::strerror(err));
  }
  const int stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stopFd < 0) {
    const int err = errno;
    if (exclusiveSet)
      ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    return fail(std::strerror(err));
  }
  auto device = std::make_shared<TPosixComDevice>(fd, stopFd, exclusiveSet, found);
  // Provisional line: 9600 8E1, binary, HUPCL off.
  device->SetLine(TLineSettings{9600, 8, 2, 0});
  device->Purge();
  // Linux raises both lines on open; the port starts with both low. ENOTTY/EINVAL (ptys) is fine.
  device->SetModemLine(TModemLine::mlDTR, false);
  device->SetModemLine(TModemLine::mlRTS, false);
  return device;
}

} // namespace rv58
