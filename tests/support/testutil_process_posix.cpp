#include "testutil_process.h"

#include <cerrno>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace rv58::test {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

std::vector<std::string> Environment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& x : extra)
      replaced |= entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
    if (!replaced)
      env.push_back(entry);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> p;
  for (auto& s : strings)
    p.push_back(s.data());
  p.push_back(nullptr);
  return p;
}

} // namespace

TChildProcess::TChildProcess(const std::vector<std::string>& argv, const TChildOptions& options) {
  std::vector<std::string> args = argv, env = Environment(options.env);
  const auto argp = Pointers(args), envp = Pointers(env);
  int out[2] = {-1, -1}, err[2] = {-1, -1};
  const bool capture = options.outputFile.empty();
  if (capture && (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0))
    return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (capture) {
    if (options.stdoutFile.empty())
      posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    else
      posix_spawn_file_actions_addopen(&actions, 1, options.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0644);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, options.outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  if (!options.workingDir.empty())
    posix_spawn_file_actions_addchdir_np(&actions, options.workingDir.c_str());
  if (options.passFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, options.passFd, 3);
  // A group of its own, so a time-out also ends what it started.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  pid_t pid = -1;
  result_.started = Clock::now();
  if (posix_spawnp(&pid, argp[0], &actions, &attr, argp.data(), envp.data()) == 0)
    pid_ = pid;
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  deadline_ = result_.started + options.timeLimit;
  if (capture) {
    ::close(out[1]);
    ::close(err[1]);
    outFd_ = out[0];
    errFd_ = err[0];
  }
}

TChildProcess::~TChildProcess() {
  Stop();
  for (int fd : {outFd_, errFd_})
    if (fd >= 0)
      ::close(fd);
}

TChildResult TChildProcess::Wait() {
  if (pid_ <= 0)
    return result_;
  // Reads both streams until they close (the child and everything that holds them ended).
  while (outFd_ >= 0 || errFd_ >= 0) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
    if (left <= 0ms) {
      result_.timedOut = true;
      break;
    }
    const int ready = ::poll(fds, 2, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR)
      break;
    for (int i = 0; i < 2; ++i) {
      int& fd = i == 0 ? outFd_ : errFd_;
      if (fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
        continue;
      char buffer[4096];
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? result_.out : result_.err).append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fd);
        fd = -1;
      }
    }
  }
  int status = 0;
  while (!result_.timedOut) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      result_.ended = Clock::now();
      result_.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      pid_ = -1;
      return result_;
    }
    if (done < 0 && errno != EINTR)
      break;
    if (Clock::now() >= deadline_)
      result_.timedOut = true;
    else
      std::this_thread::sleep_for(2ms);
  }
  ::kill(-pid_, SIGKILL);
  ::waitpid(pid_, &status, 0);
  result_.ended = Clock::now();
  pid_ = -1;
  return result_;
}

void TChildProcess::Stop() {
  if (pid_ <= 0)
    return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 300; ++i) {
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(10ms);
  }
  ::kill(-pid_, SIGKILL);
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

TChildResult RunChild(const std::vector<std::string>& argv, const TChildOptions& options) {
  TChildProcess child(argv, options);
  return child.Wait();
}

TChildResult RunShell(const std::string& command, const TChildOptions& options) {
  return RunChild({"/bin/sh", "-c", command}, options);
}

} // namespace rv58::test
