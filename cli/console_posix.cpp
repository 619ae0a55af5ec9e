#include "console.h"

#include <algorithm>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace rv58::cli {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;
int gWake[2] = {-1, -1}; // written by the handler, so a poll for room ends at once

struct sigaction gOldInt, gOldTerm, gOldPipe;

void OnInterrupt(int) {
  const int saved = errno;
  gInterrupted = 1;
  if (gWake[1] >= 0) {
    [[maybe_unused]] const ssize_t n = ::write(gWake[1], "x", 1);
  }
  errno = saved;
}

} // namespace

// Streams carry bytes and arguments are UTF-8 already.
std::vector<std::string> PrepareConsole(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

TInterruptScope::TInterruptScope() {
  gInterrupted = 0;
  if (::pipe2(gWake, O_CLOEXEC | O_NONBLOCK) != 0)
    gWake[0] = gWake[1] = -1;
  // Without SA_RESTART a write blocked on a full pipe or a stopped terminal returns EINTR.
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &gOldInt);
  ::sigaction(SIGTERM, &action, &gOldTerm);
  // A reader that went away is an output error (EPIPE), not the end of the process with the port.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, &gOldPipe);
}

TInterruptScope::~TInterruptScope() {
  ::sigaction(SIGINT, &gOldInt, nullptr);
  ::sigaction(SIGTERM, &gOldTerm, nullptr);
  ::sigaction(SIGPIPE, &gOldPipe, nullptr);
  for (int& fd : gWake) {
    if (fd >= 0)
      ::close(fd);
    fd = -1;
  }
}

bool Interrupted() {
  return gInterrupted != 0;
}

bool WriteOutput(std::string_view bytes) {
  while (!bytes.empty()) {
    if (gInterrupted)
      return false;
    // Waiting for room here rather than in write() lets the wake-up pipe end the wait; a pipe
    // that shows room takes a piece of this size without blocking.
    pollfd p[2] = {{STDOUT_FILENO, POLLOUT, 0}, {gWake[0], POLLIN, 0}};
    if (::poll(p, gWake[0] >= 0 ? 2 : 1, -1) < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    if (p[1].revents != 0)
      return false;
    const ssize_t n = ::write(STDOUT_FILENO, bytes.data(), std::min<std::size_t>(bytes.size(), 4096));
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
      continue;
    if (n <= 0)
      return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

} // namespace rv58::cli
