// Time from process start to the first paint of the window, and the peak resident memory once
// it is shown: the program's main window against a bare Qt window of the same size. Every
// iteration starts a fresh process (this program in a child mode that starts exactly as the
// program does) and reads its report from a pipe; the clock runs from fork to the report.
//
// Runs offscreen by default; set QT_QPA_PLATFORM=xcb (with DISPLAY, e.g. under xvfb-run) for
// a real X server.
#include "Unit1.h"

#include <QApplication>
#include <QEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long PeakRssKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      return std::strtol(line.c_str() + 6, nullptr, 10);
    }
  }
  return -1;
}

// Reports on the first paint, waits for the deferred start-up (posted events), reports the
// peak memory and quits.
class FirstPaint : public QObject {
public:
  explicit FirstPaint(int fd) : fd_(fd) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !painted_) {
      painted_ = true;
      QTimer::singleShot(0, [this] {
        const std::string report = "painted " + std::to_string(PeakRssKiB()) + "\n";
        [[maybe_unused]] const auto n = write(fd_, report.data(), report.size());
        QCoreApplication::quit();
      });
    }
    return QObject::eventFilter(watched, event);
  }

private:
  int fd_;
  bool painted_ = false;
};

int Child(bool bare, int fd, int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("RV58LED"));
  FirstPaint probe(fd);
  if (bare) {
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.setGeometry(348, 157, 981, 605);
    window.installEventFilter(&probe);
    window.show();
    return QApplication::exec();
  }
  QTemporaryDir dir;
  rv58::TrvformEnvironment env;
  env.preferencesFile = dir.filePath(QStringLiteral("rv58led.ini")).toStdString();
  env.arguments = {QStringLiteral("rv58led")};
  rv58::Trvform rvform(std::move(env));
  rvform.installEventFilter(&probe);
  rvform.show();
  return QApplication::exec();
}

std::string selfPath;

void StartProcess(benchmark::State& state, bool bare) {
  double rss = 0;
  for (auto _ : state) {
    int fds[2];
    if (pipe(fds) != 0) {
      state.SkipWithError("pipe");
      return;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execl(selfPath.c_str(), selfPath.c_str(), "--child", bare ? "bare" : "window", fd.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    char buffer[128] = {};
    std::size_t got = 0;
    while (got < sizeof(buffer) - 1) {
      const ssize_t n = read(fds[0], buffer + got, sizeof(buffer) - 1 - got);
      if (n <= 0 || std::memchr(buffer, '\n', got + static_cast<std::size_t>(n)) != nullptr) {
        got += n > 0 ? static_cast<std::size_t>(n) : 0;
        break;
      }
      got += static_cast<std::size_t>(n);
    }
    const auto painted = std::chrono::steady_clock::now();
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (std::strncmp(buffer, "painted ", 8) != 0) {
      state.SkipWithError("the child reported no paint");
      return;
    }
    rss = std::strtod(buffer + 8, nullptr);
    state.SetIterationTime(std::chrono::duration<double>(painted - start).count());
  }
  state.counters["peak_rss_KiB"] = rss;
}

void BM_MainWindowFirstPaint(benchmark::State& state) {
  StartProcess(state, false);
}
void BM_BareWindowFirstPaint(benchmark::State& state) {
  StartProcess(state, true);
}

BENCHMARK(BM_BareWindowFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_MainWindowFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

} // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--child") == 0) {
    return Child(std::strcmp(argv[2], "bare") == 0, std::atoi(argv[3]), 1, argv);
  }
  selfPath = "/proc/self/exe";
  char resolved[4096] = {};
  if (const ssize_t n = readlink("/proc/self/exe", resolved, sizeof(resolved) - 1); n > 0) {
    selfPath.assign(resolved, static_cast<std::size_t>(n));
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
