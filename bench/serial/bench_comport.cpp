// The serial port component on a pseudo-terminal: what an idle open port costs, and how many
// hand-offs a burst of data needs.
#include "ComPort.h"

#include "benchpty.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

namespace {

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// CPU time of the whole process while a port stays open and idle for 2 s; the main thread sleeps,
// so what is counted is the reader thread waiting.
void BM_IdleOpenPort(benchmark::State& state) {
  TPty pty;
  for (auto _ : state) {
    rv58::THandOff handOff;
    rv58::TComPort port(handOff);
    port.Port = pty.slave;
    port.Open();
    if (!port.Active()) {
      state.SkipWithError("port did not open");
      return;
    }
    const double cpu0 = ProcessCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double cpu = ProcessCpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    port.Close();
    state.counters["cpu_ms"] = cpu * 1000.0;
    state.counters["core_pct"] = 100.0 * cpu / wall;
  }
}
BENCHMARK(BM_IdleOpenPort)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// 1 MB written to the pty master in one go; the port receives it in rmRAW mode while the main
// thread serves hand-offs as fast as it can.
void BM_BurstHandOffs(benchmark::State& state) {
  constexpr std::size_t kTotal = 1 << 20;
  TPty pty;
  for (auto _ : state) {
    rv58::THandOff handOff;
    rv58::TComPort port(handOff);
    port.Port = pty.slave;
    port.ReceiveMode = rv58::rmRAW;
    std::size_t received = 0;
    port.ReceiveCallBack = [&](const std::string& data) { received += data.size(); };
    port.Open();
    if (!port.Active()) {
      state.SkipWithError("port did not open");
      return;
    }
    const std::uint64_t served0 = handOff.Served();
    const double cpu0 = ProcessCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    std::thread writer([&] {
      const std::string burst(kTotal, 'x');
      std::size_t done = 0;
      while (done < burst.size()) {
        const ssize_t n = write(pty.master, burst.data() + done, burst.size() - done);
        if (n > 0)
          done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
          break;
      }
    });
    handOff.ServeUntil([&] { return received >= kTotal; }, std::chrono::seconds(60));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double cpu = ProcessCpuSeconds() - cpu0;
    const std::uint64_t handOffs = handOff.Served() - served0;
    writer.join();
    port.Close();
    if (received < kTotal) {
      state.SkipWithError("burst did not arrive");
      return;
    }
    state.counters["handoffs"] = static_cast<double>(handOffs);
    state.counters["handoffs_per_KB"] = static_cast<double>(handOffs) / (kTotal / 1024.0);
    state.counters["bytes_per_handoff"] = static_cast<double>(kTotal) / static_cast<double>(handOffs);
    state.counters["MB_per_s"] = kTotal / 1048576.0 / wall;
    state.counters["cpu_ms"] = cpu * 1000.0;
  }
}
BENCHMARK(BM_BurstHandOffs)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
