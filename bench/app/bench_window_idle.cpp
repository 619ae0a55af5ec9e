// What the main window costs while nothing happens: the process's CPU time (all threads, the port
// watcher's included) and its wake-ups (voluntary context switches) per second of an idle window,
// after the deferred start-up, without and with the port watcher following the machine's device
// events. Counters: "cpu_ms_per_s", "wakeups_per_s".
//
// Runs offscreen by default; set QT_QPA_PLATFORM=xcb (with DISPLAY, e.g. under xvfb-run) for
// a real X server.
#include "Unit1.h"

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <sys/resource.h>

namespace {

constexpr int kIdleMs = 3000;

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

long VoluntarySwitches() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_nvcsw;
}

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

void IdleWindow(benchmark::State& state, bool watcher) {
  QTemporaryDir dir;
  rv58::TrvformEnvironment env;
  env.preferencesFile = dir.filePath(QStringLiteral("rv58led.ini")).toStdString();
  env.arguments = {QStringLiteral("rv58led")};
  if (!watcher)
    env.portEvents = [](rv58::TPortChanged) { return std::unique_ptr<rv58::TPortEventSource>(); };
  rv58::Trvform rvform(std::move(env));
  rvform.show();
  Wait(1000); // the deferred start-up and the first paints
  if (watcher && !rvform.FollowsPorts()) {
    state.SkipWithError("no port watcher on this machine");
    return;
  }
  double cpu = 0, wall = 0;
  long wakeups = 0;
  for (auto _ : state) {
    const double cpu0 = ProcessCpuSeconds();
    const long switches0 = VoluntarySwitches();
    const auto start = std::chrono::steady_clock::now();
    Wait(kIdleMs);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu += ProcessCpuSeconds() - cpu0;
    wakeups += VoluntarySwitches() - switches0;
    wall += seconds;
    state.SetIterationTime(seconds);
  }
  state.counters["cpu_ms_per_s"] = 1000.0 * cpu / wall;
  state.counters["wakeups_per_s"] = static_cast<double>(wakeups) / wall;
}

void BM_IdleWindowWithoutWatcher(benchmark::State& state) {
  IdleWindow(state, false);
}
void BM_IdleWindowWithWatcher(benchmark::State& state) {
  IdleWindow(state, true);
}

BENCHMARK(BM_IdleWindowWithoutWatcher)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_IdleWindowWithWatcher)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
