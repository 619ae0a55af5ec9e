// rv58ctl monitor and detect against a pty that plays a scale.
#include "testutil_cli.h"
#include "testutil_process.h"
#include "testutil_ptydisplay.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rv58 {
namespace {

namespace fs = std::filesystem;

// A scale on the far end of the pty: one frame every 150 ms while it lives.
class TScale {
public:
  TScale(test::TPtyDisplay& line, std::string frame)
      : thread_([this, &line, frame = std::move(frame)] {
          while (!stop_) {
            line.Send(frame);
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
          }
        }) {}
  ~TScale() {
    stop_ = true;
    thread_.join();
  }

private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Waits until a port opened the pty: it sets 9600 baud (the pty's own speed is 38400).
bool WaitUntilOpened(const test::TPtyDisplay& line) {
  for (int i = 0; i < 400; ++i) {
    const termios t = line.LineSettings();
    if (cfgetospeed(&t) == B9600)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

class MonitorCliTest : public ::testing::Test {
protected:
  test::TCliRun Run(const std::string& args) { return test::RunRv58ctl(dir_, args); }
  test::TempDir folder_{"rv58-monitor"};
  fs::path dir_ = folder_.Path();
};

TEST_F(MonitorCliTest, MonitorPrintsEachFrameWithItsPreview) {
  const fs::path settings = dir_ / "scale.rv5";
  std::ofstream(settings) << "[RV5]\r\ntm=10\r\nkr=10\r\nle=7\r\nlh=3\r\nnm=1\r\n";
  test::TPtyDisplay line;
  TScale scale(line, "ST,GS,+0001.23kg\r\n");
  const auto run = Run("monitor --port " + line.SlavePath() + " " + settings.string() + " --count 3");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "ST,GS,+0001.23kg<CR><LF>\tok\t1.23\n"
                     "ST,GS,+0001.23kg<CR><LF>\tok\t1.23\n"
                     "ST,GS,+0001.23kg<CR><LF>\tok\t1.23\n");
}

TEST_F(MonitorCliTest, EveryColumnNamesItsControlCharactersOneRecordALine) {
  test::TPtyDisplay line;
  // CR LF with the default terminator CR: the LF opens the next frame and its preview.
  TScale scale(line, std::string("\x1b]0;x\x07"
                                 "A\x00\x81\r\n",
                                 11));
  const auto run = Run("monitor --port " + line.SlavePath() + " --count 3");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.substr(run.out.find('\n') + 1),
            // Eight characters are more than the font shows: the record says so.
            "<LF><ESC>]0;x<BEL>A<NUL><x81><CR>\tok\t<LF><ESC>]0;x<BEL>A<NUL><x81>\tnem fér el\n"
            "<LF><ESC>]0;x<BEL>A<NUL><x81><CR>\tok\t<LF><ESC>]0;x<BEL>A<NUL><x81>\tnem fér el\n");
}

TEST_F(MonitorCliTest, AHangUpEndsMonitorAndDetectWith5WithinASecond) {
  for (const std::string command : {"monitor", "detect"}) {
    test::TPtyDisplay line;
    std::chrono::steady_clock::time_point hungUp;
    std::thread pull([&] { // a scale that sends a few frames and is then pulled out
      WaitUntilOpened(line);
      for (int i = 0; i < 3; ++i) { // too few for detect to finish first
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        line.Send("ST,GS,+0001.23kg\r\n");
      }
      hungUp = std::chrono::steady_clock::now();
      line.HangUp();
    });
    const auto run = Run(command + " --port " + line.SlavePath());
    pull.join();
    EXPECT_EQ(run.exitCode, 5) << command << "\n" << run.err;
    EXPECT_NE(run.err.find("eltűnt"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(line.SlavePath()), std::string::npos) << run.err;
    EXPECT_LT(run.ended - hungUp, std::chrono::seconds(1)) << command;
  }
}

TEST_F(MonitorCliTest, ASignalEndsMonitorAndFreesThePortWhileNobodyReadsItsOutput) {
  for (const int signal : {SIGTERM, SIGINT}) {
    test::TPtyDisplay line;
    // Standard output is a pipe that is full already: the first record blocks.
    const std::string fifo = (dir_ / "stalled").string();
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int filler = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(filler, 0);
    while (::write(filler, std::string(4096, 'x').data(), 4096) > 0) {
    }
    test::TChildOptions options;
    options.stdoutFile = fifo;
    options.timeLimit = std::chrono::seconds(20);
    test::TChildProcess monitor(
        {RV58CTL_PATH, "--ini", (dir_ / "rv58led.ini").string(), "monitor", "--port", line.SlavePath()},
        options);
    ASSERT_TRUE(WaitUntilOpened(line));
    line.Send("1\r\n1\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::kill(monitor.Pid(), signal);
    const auto result = monitor.Wait();
    ::close(filler);
    ::close(reader);
    EXPECT_EQ(result.exitCode, 0) << signal << " " << result.err;
    // The port is free again (the flock of the ended process is gone).
    const int port = ::open(line.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_EQ(::flock(port, LOCK_EX | LOCK_NB), 0) << signal;
    ::close(port);
  }
}

TEST_F(MonitorCliTest, DetectFindsTheFrameSettingsAndSavesThemBesideTheOtherKeys) {
  const fs::path settings = dir_ / "found.rv5";
  std::ofstream(settings) << "[RV5]\r\nnev=Pult\r\nle=0\r\nhk=65\r\n";
  test::TPtyDisplay line;
  TScale scale(line, "ST,GS,+0001.23kg\r\n");
  const auto run = Run("detect --port " + line.SlavePath() + " --save " + settings.string());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  // The sign column stays; no error frame was heard and the file's "A" is in none: hk stays.
  for (const char* key : {"tm=10\n", "kr=10\n", "le=6\n", "lh=3\n", "nm=1\n", "tp=2\n", "bt=0\n", "hk=65\n"})
    EXPECT_NE(run.out.find(key), std::string::npos) << key << " in " << run.out;
  EXPECT_NE(run.out.find("ST,GS,+0001.23kg<CR><LF>\tok\t+1.23\n"), std::string::npos) << run.out;
  const std::string saved = test::ReadBytes(settings);
  for (const char* line : {"nev=Pult\r\n", "le=6\r\n", "lh=3\r\n", "tm=10\r\n", "nm=1\r\n", "hk=65\r\n"})
    EXPECT_NE(saved.find(line), std::string::npos) << line << " in " << saved;
  // A path the system resolves to no file is a write error and leaves the file as it was.
  const auto bad = Run("detect --port " + line.SlavePath() + " --save " + settings.string() + "/");
  EXPECT_EQ(bad.exitCode, 2) << bad.err;
  EXPECT_EQ(test::ReadBytes(settings), saved);
}

TEST_F(MonitorCliTest, ExitCodes) {
  test::TPtyDisplay silent, talking, held;
  TScale scale(talking, "ST,GS,+0001.23kg\r\n");
  const int holder = ::open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  const fs::path missing = dir_ / "no-such-port";
  struct Case {
    std::string args;
    int exitCode;
    std::string err; // a part of the message
  };
  std::vector<Case> cases = {
      {"monitor --port " + missing.string() + " --count 1", 2,
       "nem nyitaható meg !\n" + missing.string() + ": nem található"},
      {"detect --port " + missing.string(), 2, "nem nyitaható meg"},
      {"monitor --port " + held.SlavePath() + " --count 1", 2,
       held.SlavePath() + ": foglalt, egy másik program"},
      {"detect --port " + silent.SlavePath() + " --seconds 2", 6, "nincs adat"},
      {"monitor --port " + silent.SlavePath() + " --seconds 1", 0, ""},
      {"monitor --port " + talking.SlavePath() + " --count 1 >/dev/full", 2, "kimenet nem írható"},
      {"detect --port " + talking.SlavePath() + " >/dev/full", 2, "kimenet nem írható"},
      {"monitor --count 1", 1, ""},
  };
  // Counts and seconds are whole numbers from 1, in digits alone.
  for (const std::string bad : {"0", "1.5", "0x2", "-0", "+3", " 2", "1e3", ""})
    for (const std::string option : {"monitor --count '", "monitor --seconds '", "detect --seconds '"})
      cases.push_back({option + bad + "' --port " + silent.SlavePath(), 1, ""});
  for (const auto& c : cases) {
    const bool full = c.args.find(">/dev/full") != std::string::npos;
    const auto child = full ? test::RunShell(std::string(RV58CTL_PATH) + " --ini " +
                                             (dir_ / "rv58led.ini").string() + " " + c.args)
                            : test::TChildResult{};
    const auto run = full ? test::TCliRun{child.exitCode, child.out, child.err, {}, {}} : Run(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args << "\n" << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args << "\n" << run.err;
  }
}

} // namespace
} // namespace rv58
