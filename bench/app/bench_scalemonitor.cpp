// The scale monitor window open on a pseudo-terminal fed at 115,200 baud (11,520 bytes a second,
// frames of 18 bytes back to back): the CPU the program spends on it, as a share of one core
// (counter "cpu_pct", the feeding thread's own CPU left out), and the time from a frame on the
// line to the preview showing it ("frame_to_preview_ms") and to its paint ("paint_ms").
#include "Unit1.h"
#include "scalemonitor.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include "benchpty.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <stdlib.h>
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

void BM_MonitorAt115200(benchmark::State& state) {
  TMonitorBench bench;
  if (!bench.monitor || !bench.monitor->PortOpen()) {
    state.SkipWithError("monitor did not open its port");
    return;
  }
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    std::atomic<bool> stop{false};
    std::atomic<double> feederCpu{0};
    std::thread feeder([&] {
      // 115,200 baud 8N1: 11,520 bytes a second, sent every 10 ms.
      const std::string frame = "ST,GS,+0001.23kg\r\n";
      std::string chunk;
      while (chunk.size() < 115)
        chunk += frame;
      const double begin = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
      auto next = std::chrono::steady_clock::now();
      std::size_t offset = 0;
      while (!stop) {
        std::string piece;
        for (int i = 0; i < 115; ++i)
          piece += frame[(offset + static_cast<std::size_t>(i)) % frame.size()];
        offset += 115;
        [[maybe_unused]] const auto n = write(bench.pty.master, piece.data(), piece.size());
        next += std::chrono::milliseconds(10);
        std::this_thread::sleep_until(next);
      }
      feederCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - begin;
    });
    const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    QElapsedTimer timer;
    timer.start();
    QTest::qWait(3000);
    stop = true;
    feeder.join();
    wall += static_cast<double>(timer.nsecsElapsed()) / 1e9;
    cpu += CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0 - feederCpu;
  }
  state.counters["cpu_pct"] = 100.0 * cpu / wall;
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

BENCHMARK(BM_MonitorAt115200)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
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
