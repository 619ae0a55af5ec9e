// One upload from start to the port closed, at 9600 and 2400 baud, against the least the protocol
// allows; and whether every byte arrives in many consecutive uploads.
//
// The rv58ctl cases run the real program (found beside this benchmark's build tree, or through
// $RV58CTL) against a pseudo-terminal: a pty does not pace bytes, so they show the program's own
// cost over the fixed pauses. The in-process cases send through the shared routine to a device
// that takes 10 bit times per byte, as a UART does, so the closing drain shows.
#include "ComPort.h"
#include "comdevice.h"
#include "senddisplay.h"

#include <benchmark/benchmark.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string kMessage = "<,9600,3,13,13,0,0,0,0,0,114,ERROR,1,0,0,>";
const std::string kExpected = "<>" + kMessage;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// The least one upload can take: the pauses before closing (10 ms after "<>", 100 ms after the
// message) plus the bytes' time on the wire (10 bits a byte at 8N1).
double ProtocolSumMs(int baud) {
  return 110.0 + static_cast<double>(kExpected.size()) * 10.0 * 1000.0 / baud;
}
// The same where the pauses and the wire overlap: the message leaves 10 ms after "<>" and the
// port closes when both the 100 ms pause and the wire are done.
double ProtocolOverlapMs(int baud) {
  const double message = static_cast<double>(kMessage.size()) * 10.0 * 1000.0 / baud;
  return 10.0 + std::max(100.0, message);
}

std::string Rv58ctlPath() {
  if (const char* env = std::getenv("RV58CTL"))
    return env;
  return (fs::read_symlink("/proc/self/exe").parent_path() / ".." / ".." / "cli" / "rv58ctl").string();
}

// A folder with two settings files (display versions 1 and 2) and an empty preferences file.
struct TFiles {
  TFiles() {
    dir = fs::temp_directory_path() / ("rv58-bench-upload-" + std::to_string(getpid()));
    fs::create_directories(dir);
    for (const char* ve : {"0", "1"}) {
      std::ofstream(dir / (std::string("ve") + ve + ".rv5"), std::ios::binary)
          << "[RV5]\r\nbd=5\r\npr=3\r\ntm=13\r\nkr=13\r\nle=0\r\nlh=0\r\nfe=0\r\ntp=0\r\nbt=0\r\nhk=114\r\n"
             "or=0\r\nht=ERROR\r\nnev=M\xE9rleg\r\nau=1\r\nve="
          << ve << "\r\ncomment=\r\nport=COM1\r\nnm=0\r\n";
    }
    std::ofstream(dir / "rv58led.ini") << "";
  }
  ~TFiles() { fs::remove_all(dir); }
  std::string File(int baud) const { return (dir / (baud == 2400 ? "ve0.rv5" : "ve1.rv5")).string(); }
  std::string Ini() const { return (dir / "rv58led.ini").string(); }
  fs::path dir;
};

const TFiles& Files() {
  static const TFiles files;
  return files;
}

struct TPty {
  TPty() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    grantpt(master);
    unlockpt(master);
    char name[128] = {};
    ptsname_r(master, name, sizeof name);
    slave = name;
  }
  ~TPty() {
    if (holder >= 0)
      close(holder);
    close(master);
  }
  // Keeps one slave descriptor open, so the pty never hangs up between uploads.
  void Hold() {
    holder = open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    termios t{};
    tcgetattr(holder, &t);
    cfmakeraw(&t);
    tcsetattr(holder, TCSANOW, &t);
  }
  // Reads until `count` bytes are in `got` or the time-out passes; with `untilHangUp`, then waits
  // for the last slave to close. Returns the moment of the hang-up (or of the last byte).
  Clock::time_point Read(std::string& got, std::size_t count, bool untilHangUp, Clock::duration timeout) {
    const auto deadline = Clock::now() + timeout;
    Clock::time_point last = Clock::now();
    char buffer[4096];
    while (Clock::now() < deadline) {
      if (got.size() >= count && !untilHangUp)
        return last;
      pollfd p{master, POLLIN, 0};
      poll(&p, 1, 5);
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n > 0) {
        got.append(buffer, static_cast<std::size_t>(n));
        last = Clock::now();
        continue;
      }
      // A fresh master reports a hang-up before the slave was ever opened: count it only after
      // the bytes came.
      if (got.size() >= count && (p.revents & POLLHUP))
        return Clock::now();
    }
    return last;
  }
  int master = -1;
  int holder = -1;
  std::string slave;
};

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// rv58ctl upload from the start of the process to the port closed (the pty's last slave gone)
// and to the process's end.
void BM_Rv58ctlUpload(benchmark::State& state) {
  const int baud = static_cast<int>(state.range(0));
  const std::string ctl = Rv58ctlPath();
  double toClosed = 0, toExit = 0;
  std::int64_t bad = 0;
  for (auto _ : state) {
    TPty pty;
    std::string got;
    const auto start = Clock::now();
    const pid_t pid = Spawn({ctl, "--ini", Files().Ini(), "upload", Files().File(baud), "--port", pty.slave});
    if (pid < 0) {
      state.SkipWithError("cannot start rv58ctl");
      return;
    }
    const auto closed = pty.Read(got, kExpected.size(), true, 5s);
    const int code = Wait(pid);
    const auto ended = Clock::now();
    if (code != 0 || got != kExpected)
      ++bad;
    toClosed += Ms(closed - start);
    toExit += Ms(ended - start);
    state.SetIterationTime(std::chrono::duration<double>(closed - start).count());
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["ms_to_closed"] = toClosed / n;
  state.counters["ms_to_exit"] = toExit / n;
  state.counters["ms_least_sum"] = ProtocolSumMs(baud);
  state.counters["ms_least_overlap"] = ProtocolOverlapMs(baud);
  state.counters["failed_runs"] = static_cast<double>(bad);
}
BENCHMARK(BM_Rv58ctlUpload)
    ->Arg(9600)
    ->Arg(2400)
    ->Iterations(20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A device that sends 10 bit times per byte at the baud in force and forgets what it sent.
class TPacedDevice : public rv58::TComDevice {
public:
  bool SetLine(const rv58::TLineSettings& s) override {
    std::lock_guard<std::mutex> g(m_);
    baud_ = s.Baud;
    return true;
  }
  bool SetQueueSizes(std::uint32_t, std::uint32_t) override { return true; }
  void Purge() override {}
  bool SetModemLine(rv58::TModemLine, bool) override { return true; }
  long Write(const char*, std::size_t size) override {
    std::lock_guard<std::mutex> g(m_);
    const auto now = Clock::now();
    if (lineFreeAt_ < now)
      lineFreeAt_ = now;
    lineFreeAt_ += std::chrono::nanoseconds(static_cast<std::int64_t>(size) * 10'000'000'000LL / baud_);
    return static_cast<long>(size);
  }
  long Read(char*, std::size_t) override { return 0; }
  bool QueryAndClearErrors(std::uint32_t& queued) override {
    queued = 0;
    return true;
  }
  std::size_t OutputQueued() override {
    std::lock_guard<std::mutex> g(m_);
    return Clock::now() < lineFreeAt_ ? 1 : 0;
  }
  void DiscardOutput() override {
    std::lock_guard<std::mutex> g(m_);
    lineFreeAt_ = Clock::now();
  }
  std::uint32_t ModemStatus() override { return 0; }
  rv58::TWaitResult WaitForEvents(std::uint32_t&) override {
    std::unique_lock<std::mutex> l(m_);
    cv_.wait(l, [&] { return stop_; });
    return rv58::TWaitResult::wrStop;
  }
  void RequestStop() override {
    {
      std::lock_guard<std::mutex> g(m_);
      stop_ = true;
    }
    cv_.notify_all();
  }
  void Close() override {
    std::lock_guard<std::mutex> g(m_);
    if (!closed_)
      closedAt_ = Clock::now();
    closed_ = true;
  }
  Clock::time_point ClosedAt() {
    std::lock_guard<std::mutex> g(m_);
    return closedAt_;
  }
  Clock::time_point LineFreeAt() {
    std::lock_guard<std::mutex> g(m_);
    return lineFreeAt_;
  }

private:
  std::mutex m_;
  std::condition_variable cv_;
  std::uint32_t baud_ = 9600;
  Clock::time_point lineFreeAt_{};
  Clock::time_point closedAt_{};
  bool stop_ = false;
  bool closed_ = false;
};

// The shared routine on a paced device: from the call to the device closed, and how long after
// the last byte left the line the port was closed.
void BM_SendToDisplayPaced(benchmark::State& state) {
  const auto baud = static_cast<std::uint32_t>(state.range(0));
  double toClosed = 0, afterWire = 0;
  for (auto _ : state) {
    std::shared_ptr<TPacedDevice> device;
    rv58::THandOff handOff;
    rv58::TComPort port(handOff, [&](const std::string&, std::string&) {
      device = std::make_shared<TPacedDevice>();
      return device;
    });
    const auto start = Clock::now();
    rv58::SendToDisplay(port, "paced", baud, false, kMessage);
    const auto closed = device->ClosedAt();
    toClosed += Ms(closed - start);
    afterWire += Ms(closed - device->LineFreeAt());
    state.SetIterationTime(std::chrono::duration<double>(closed - start).count());
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["ms_to_closed"] = toClosed / n;
  state.counters["ms_closed_after_last_byte"] = afterWire / n;
  state.counters["ms_least_sum"] = ProtocolSumMs(static_cast<int>(baud));
  state.counters["ms_least_overlap"] = ProtocolOverlapMs(static_cast<int>(baud));
}
BENCHMARK(BM_SendToDisplayPaced)
    ->Arg(9600)
    ->Arg(2400)
    ->Iterations(20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Many consecutive rv58ctl uploads to one pty: every run must deliver exactly "<>" and the
// message, nothing lost, nothing doubled, nothing left over for the next run.
void BM_Rv58ctlUploadMany(benchmark::State& state) {
  const auto runs = state.range(0);
  const std::string ctl = Rv58ctlPath();
  std::int64_t good = 0, badExit = 0, badBytes = 0, bytes = 0;
  for (auto _ : state) {
    TPty pty;
    pty.Hold();
    for (std::int64_t i = 0; i < runs; ++i) {
      const pid_t pid =
          Spawn({ctl, "--ini", Files().Ini(), "upload", Files().File(9600), "--port", pty.slave});
      if (pid < 0) {
        state.SkipWithError("cannot start rv58ctl");
        return;
      }
      const int code = Wait(pid);
      std::string got;
      pty.Read(got, kExpected.size(), false, 2s);
      // Anything more would belong to no run.
      pty.Read(got, kExpected.size() + 1, false, 2ms);
      bytes += static_cast<std::int64_t>(got.size());
      if (code != 0)
        ++badExit;
      else if (got != kExpected)
        ++badBytes;
      else
        ++good;
    }
  }
  state.counters["runs_ok"] = static_cast<double>(good);
  state.counters["runs_bad_exit"] = static_cast<double>(badExit);
  state.counters["runs_bad_bytes"] = static_cast<double>(badBytes);
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["bytes_expected"] = static_cast<double>(runs * static_cast<std::int64_t>(kExpected.size()));
}
BENCHMARK(BM_Rv58ctlUploadMany)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
