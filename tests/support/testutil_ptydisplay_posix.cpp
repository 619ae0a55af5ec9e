#include "testutil_ptydisplay.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace rv58::test {

TPtyDisplay::TPtyDisplay() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
    throw std::runtime_error("no pseudo-terminal");
  char name[128] = {};
  if (::ptsname_r(master_, name, sizeof name) != 0)
    throw std::runtime_error("no pseudo-terminal name");
  slavePath_ = name;
  keepSlave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  termios t{};
  if (keepSlave_ >= 0 && ::tcgetattr(keepSlave_, &t) == 0) {
    // Raw until the port configures it, so nothing is echoed or translated.
    ::cfmakeraw(&t);
    ::tcsetattr(keepSlave_, TCSANOW, &t);
  }
  stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  resumeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  reader_ = std::thread([this] { ReadLoop(); });
}

TPtyDisplay::~TPtyDisplay() {
  const std::uint64_t one = 1;
  [[maybe_unused]] auto n = ::write(stopFd_, &one, sizeof one);
  reader_.join();
  if (master_ >= 0)
    ::close(master_);
  if (keepSlave_ >= 0)
    ::close(keepSlave_);
  ::close(stopFd_);
  ::close(resumeFd_);
}

void TPtyDisplay::ReadLoop() {
  char buffer[65536];
  for (;;) {
    bool reading;
    int master;
    {
      std::lock_guard<std::mutex> g(m_);
      reading = reading_;
      master = master_;
      ++loops_;
    }
    cv_.notify_all();
    pollfd p[3] = {{stopFd_, POLLIN, 0}, {resumeFd_, POLLIN, 0}, {master, POLLIN, 0}};
    const int count = reading && master >= 0 ? 3 : 2;
    if (::poll(p, count, -1) < 0) {
      if (errno == EINTR)
        continue;
      return;
    }
    if (p[0].revents)
      return;
    if (p[1].revents) {
      std::uint64_t v;
      [[maybe_unused]] auto n = ::read(resumeFd_, &v, sizeof v);
      continue;
    }
    if (count < 3 || !p[2].revents)
      continue;
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) {
      // No slave open (EIO) cannot happen while keepSlave_ holds one; after HangUp we stop.
      if (n < 0 && (errno == EINTR || errno == EAGAIN))
        continue;
      std::lock_guard<std::mutex> g(m_);
      reading_ = false;
      continue;
    }
    const auto now = Clock::now();
    {
      std::lock_guard<std::mutex> g(m_);
      arrivalStart_.push_back(received_.size());
      received_.append(buffer, static_cast<std::size_t>(n));
      arrivals_.push_back({now, std::string(buffer, static_cast<std::size_t>(n))});
      lastArrival_ = now;
      lineAtArrival_ = ::tcgetattr(master, &lineSettings_) == 0;
      if (hangUpAfter_ > 0 && received_.size() >= hangUpAfter_) {
        reading_ = false;
        master_ = -1;
        ::close(master);
        if (keepSlave_ >= 0)
          ::close(keepSlave_);
        keepSlave_ = -1;
      }
    }
    cv_.notify_all();
  }
}

std::string TPtyDisplay::Received() const {
  std::lock_guard<std::mutex> g(m_);
  return received_;
}

std::vector<TPtyDisplay::TArrival> TPtyDisplay::Arrivals() const {
  std::lock_guard<std::mutex> g(m_);
  return arrivals_;
}

TPtyDisplay::Clock::time_point TPtyDisplay::ByteTime(std::size_t index) const {
  std::lock_guard<std::mutex> g(m_);
  if (index >= received_.size())
    throw std::out_of_range("byte not received");
  const auto it = std::upper_bound(arrivalStart_.begin(), arrivalStart_.end(), index);
  return arrivals_[static_cast<std::size_t>(it - arrivalStart_.begin()) - 1].time;
}

bool TPtyDisplay::WaitForBytes(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> l(m_);
  return cv_.wait_for(l, timeout, [&] { return received_.size() >= count; });
}

std::string TPtyDisplay::WaitQuiet(std::chrono::milliseconds quiet) const {
  std::unique_lock<std::mutex> l(m_);
  const auto start = Clock::now();
  for (;;) {
    const auto deadline = std::max(lastArrival_, start) + quiet;
    if (Clock::now() >= deadline)
      return received_;
    cv_.wait_until(l, deadline);
  }
}

void TPtyDisplay::Send(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{master_, POLLOUT, 0};
      ::poll(&p, 1, 100);
    } else {
      throw std::runtime_error("display cannot send");
    }
  }
}

void TPtyDisplay::SetReading(bool reading) {
  {
    std::lock_guard<std::mutex> g(m_);
    reading_ = reading;
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] auto n = ::write(resumeFd_, &one, sizeof one);
}

void TPtyDisplay::HangUp() {
  int master;
  {
    std::unique_lock<std::mutex> l(m_);
    reading_ = false;
    master = master_;
    master_ = -1;
    // Wait until the reader has left any poll on the master before closing it.
    const std::uint64_t seen = loops_;
    const std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(resumeFd_, &one, sizeof one);
    cv_.wait(l, [&] { return loops_ > seen; });
  }
  if (master >= 0)
    ::close(master);
  if (keepSlave_ >= 0) {
    ::close(keepSlave_);
    keepSlave_ = -1;
  }
}

void TPtyDisplay::ReleaseSlave() {
  std::lock_guard<std::mutex> g(m_);
  if (keepSlave_ >= 0)
    ::close(keepSlave_);
  keepSlave_ = -1;
}

void TPtyDisplay::HangUpAfter(std::size_t count) {
  std::lock_guard<std::mutex> g(m_);
  hangUpAfter_ = count;
}

termios TPtyDisplay::LineSettings() const {
  termios t{};
  std::lock_guard<std::mutex> g(m_);
  if (lineAtArrival_)
    return lineSettings_;
  if (master_ >= 0)
    ::tcgetattr(master_, &t);
  return t;
}

} // namespace rv58::test
