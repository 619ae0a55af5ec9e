// The scale monitor window open on a pseudo-terminal fed at 115,200 baud (11,520 bytes a second,
// frames of 18 bytes back to back): the CPU the program spends on it, as a share of one core
// (counter "cpu_pct", the feeding thread's own CPU left out; "user_pct" and "sys_pct" split it
// the same way from getrusage), and the time from a frame on the
// line to the preview showing it ("frame_to_preview_ms") and to its paint ("paint_ms").
#include "Unit1.h"
#include "scalemonitor.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "benchpty.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace {

double CpuSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct TMonitorBench {
  TMonitorBench() {
    std::ofstream(dir.filePath("rv58led.ini").toStdString())
        << "[Ports]\r\nCOM7=" << pty.slave
        << "\r\n[RV5]\r\nport=COM7\r\nbd=10\r\npr=3\r\ntm=10\r\nkr=10\r\nle=7\r\nlh=3\r\nnm=1\r\n";
    rv58::TrvformEnvironment env;
    env.preferencesFile = dir.filePath("rv58led.ini").toStdString();
    env.defaultDialogFolder = dir.path().toStdString();
    env.arguments = {QStringLiteral("rv58led")};
    env.listPorts = [](bool) { return std::vector<std::string>{"COM7"}; };
    form = std::make_unique<rv58::Trvform>(env);
    form->show();
    QTest::qWait(300);
    form->OpenScaleMonitor();
    monitor = qobject_cast<rv58::TScaleMonitor*>(form->ScaleMonitor);
    [[maybe_unused]] const bool open = QTest::qWaitFor([&] { return monitor->PortOpen(); }, 5000);
  }
  QTemporaryDir dir;
  TPty pty;
  std::unique_ptr<rv58::Trvform> form;
  rv58::TScaleMonitor* monitor = nullptr;
};

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Argument 0: the same frame over and over (a weight resting on the scale); 1: every frame a
// different weight, so that every line of the frame list changes.
void BM_MonitorAt115200(benchmark::State& state) {
  TMonitorBench bench;
  if (!bench.monitor || !bench.monitor->PortOpen()) {
    state.SkipWithError("monitor did not open its port");
    return;
  }
  const bool varying = state.range(0) != 0;
  double cpu = 0, user = 0, sys = 0, wall = 0;
  for (auto _ : state) {
    std::atomic<bool> stop{false};
    std::atomic<double> feederCpu{0}, feederUser{0}, feederSys{0};
    std::thread feeder([&] {
      // 115,200 baud 8N1: 11,520 bytes a second, sent every 10 ms.
      const double begin = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
      rusage usage0{};
      getrusage(RUSAGE_THREAD, &usage0);
      auto next = std::chrono::steady_clock::now();
      std::string line;
      int weight = 0;
      while (!stop) {
        while (line.size() < 115) {
          char frame[32];
          std::snprintf(frame, sizeof frame, "ST,GS,+%04d.%02dkg\r\n", varying ? weight / 100 % 10000 : 1,
                        varying ? weight % 100 : 23);
          line += frame;
          ++weight;
        }
        [[maybe_unused]] const auto n = write(bench.pty.master, line.data(), 115);
        line.erase(0, 115);
        next += std::chrono::milliseconds(10);
        std::this_thread::sleep_until(next);
      }
      rusage usage1{};
      getrusage(RUSAGE_THREAD, &usage1);
      feederCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - begin;
      feederUser = Seconds(usage1.ru_utime) - Seconds(usage0.ru_utime);
      feederSys = Seconds(usage1.ru_stime) - Seconds(usage0.ru_stime);
    });
    const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    rusage usage0{};
    getrusage(RUSAGE_SELF, &usage0);
    QElapsedTimer timer;
    timer.start();
    // The program's own event loop, which sleeps until something happens (QTest::qWait would
    // wake every 10 ms and add its own cost).
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    stop = true;
    feeder.join();
    wall += static_cast<double>(timer.nsecsElapsed()) / 1e9;
    rusage usage1{};
    getrusage(RUSAGE_SELF, &usage1);
    cpu += CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0 - feederCpu;
    user += Seconds(usage1.ru_utime) - Seconds(usage0.ru_utime) - feederUser;
    sys += Seconds(usage1.ru_stime) - Seconds(usage0.ru_stime) - feederSys;
  }
  state.counters["cpu_pct"] = 100.0 * cpu / wall;
  state.counters["user_pct"] = 100.0 * user / wall;
  state.counters["sys_pct"] = 100.0 * sys / wall;
  state.counters["frames_seen"] = static_cast<double>(bench.monitor->Frames().size());
}

void BM_FrameToPreview(benchmark::State& state) {
  TMonitorBench bench;
  if (!bench.monitor || !bench.monitor->PortOpen()) {
    state.SkipWithError("monitor did not open its port");
    return;
  }
  auto* preview = bench.monitor->findChild<rv58::TSegmentPreview*>();
  double latency = 0, paint = 0;
  int n = 0;
  for (auto _ : state) {
    // A scale that sends a few frames a second: a fast stream's frames wait for the next of the
    // preview's ten updates a second instead.
    state.PauseTiming();
    QTest::qWait(150);
    state.ResumeTiming();
    const std::string weight = std::to_string(100 + n % 800);
    const std::string frame = "ST,GS,+0" + weight.substr(0, 1) + weight.substr(1) + ".00kg\r\n";
    QElapsedTimer timer;
    timer.start();
    [[maybe_unused]] const auto w = write(bench.pty.master, frame.data(), frame.size());
    if (!QTest::qWaitFor([&] { return preview->Text().rfind(weight, 0) == 0; }, 2000)) {
      state.SkipWithError("the preview did not show the frame");
      break;
    }
    latency += static_cast<double>(timer.nsecsElapsed()) / 1e6;
    QElapsedTimer paintTimer;
    paintTimer.start();
    preview->repaint();
    paint += static_cast<double>(paintTimer.nsecsElapsed()) / 1e6;
    ++n;
  }
  state.counters["frame_to_preview_ms"] = latency / n;
  state.counters["paint_ms"] = paint / n;
}

} // namespace

BENCHMARK(BM_MonitorAt115200)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FrameToPreview)->Iterations(40)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  if (qgetenv("QT_QPA_PLATFORM").isEmpty())
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
