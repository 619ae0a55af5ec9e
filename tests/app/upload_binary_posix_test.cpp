// The real rv58led program under a virtual X server: started in a folder of its own with its own
// rv58led.ini (COM7 standing for a pseudo-terminal display), F9 pressed through the X server's
// test extension, the bytes read on the display. Skipped where Xvfb or xdotool are missing.
#include "testutil_process.h"
#include "testutil_ptydisplay.h"
#include "testutil_tempdir.h"

#include "inifile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace rv58::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kDefaultMessage = "<,9600,3,13,13,0,0,0,0,0,114,ERROR,1,0,0,>";

bool OnPath(const char* program) {
  return RunShell(std::string("command -v ") + program + " >/dev/null 2>&1").exitCode == 0;
}

// Starts a program with extra environment entries; stdout and stderr go to `log` (or nowhere).
std::unique_ptr<TChildProcess> Spawn(const std::vector<std::string>& args,
                                     const std::vector<std::string>& extraEnv,
                                     const std::string& log = "/dev/null", int keepFd = -1) {
  TChildOptions options;
  options.env = extraEnv;
  options.outputFile = log;
  options.passFd = keepFd;
  return std::make_unique<TChildProcess>(args, options);
}

// Runs a command, returns its first output line (empty on failure).
std::string Output(const std::string& command) {
  const std::string out = RunShell(command).out;
  const auto end = out.find('\n');
  return end == std::string::npos ? out : out.substr(0, end);
}

// One virtual X server for all tests of this file.
class TXServer {
public:
  TXServer() {
    if (!OnPath("Xvfb") || !OnPath("xdotool")) {
      return;
    }
    int fds[2];
    if (::pipe(fds) != 0) {
      return;
    }
    server_ = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {},
                    "/dev/null", fds[1]);
    ::close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (::poll(&p, 1, 20000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') {
      number += c;
    }
    ::close(fds[0]);
    if (!number.empty()) {
      display_ = ":" + number;
    }
  }
  const std::string& Display() const { return display_; }

private:
  std::unique_ptr<TChildProcess> server_;
  std::string display_;
};

TXServer* xServer = nullptr;

class UploadBinary : public ::testing::Test {
protected:
  static void SetUpTestSuite() { xServer = new TXServer; }
  static void TearDownTestSuite() {
    delete xServer;
    xServer = nullptr;
  }

  void SetUp() override {
    if (xServer->Display().empty()) {
      GTEST_SKIP() << "no Xvfb or xdotool";
    }
    folder_.emplace("rv58-upload-bin");
    dir_ = folder_->Path();
    // A copy of the program keeps its preferences beside itself, in this folder.
    fs::copy_file(RV58LED_PATH, dir_ / "rv58led");
  }
  void TearDown() override {
    app_.reset();
    folder_.reset();
  }

  // The preferences: COM7 is the display; the last upload's settings with these changes.
  void WritePrefs(const std::string& rv5Extra) {
    std::ofstream(dir_ / "rv58led.ini", std::ios::binary)
        << "[Ports]\r\nCOM7=" << display_.SlavePath() << "\r\n[RV5]\r\nport=COM7\r\n"
        << rv5Extra;
  }

  // Starts the program and waits until its window is on the screen; returns the window id.
  std::string Start() {
    app_ = Spawn({(dir_ / "rv58led").string()}, {"DISPLAY=" + xServer->Display(), "QT_QPA_PLATFORM=xcb"},
                 (dir_ / "log").string());
    EXPECT_TRUE(app_->Started());
    const std::string window = Output("DISPLAY=" + xServer->Display() +
                                      " timeout 30 xdotool search --sync --all --onlyvisible --pid " +
                                      std::to_string(app_->Pid()) + " --name '^RV58Set$' 2>/dev/null");
    // The deferred start-up was posted before the window was mapped, so it runs before any key
    // that comes now; the pause only lets the new window settle.
    std::this_thread::sleep_for(300ms);
    return window;
  }

  bool Keys(const std::string& window, const std::string& keys) {
    const std::string command = "DISPLAY=" + xServer->Display() + " xdotool windowfocus --sync " + window +
                                " " + keys + " >/dev/null 2>&1";
    return RunShell(command).exitCode == 0;
  }

  std::string Stored(const char* key) const {
    return TIniFile((dir_ / "rv58led.ini").string()).ReadString("RV5", key, "<none>");
  }

  // Waits until the preferences hold `value` for `key` in "RV5".
  bool WaitStored(const char* key, const std::string& value) const {
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
      if (Stored(key) == value) {
        return true;
      }
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  speed_t Speed() const {
    const termios t = display_.LineSettings();
    return cfgetospeed(&t);
  }

  TPtyDisplay display_;
  fs::path dir_;
  std::unique_ptr<TChildProcess> app_;
  std::optional<TempDir> folder_;
};

TEST_F(UploadBinary, F9SendsTheMessageAt9600AndKeepsTheSettings) {
  // An error text of 10 characters goes as the box shows it, 6 characters, as rv58ctl sends it.
  WritePrefs("ht=HIBAHOSSZU\r\nnev=Sil\xF3\r\n");
  fs::copy_file(dir_ / "rv58led.ini", dir_ / "same.rv5");
  const std::string window = Start();
  ASSERT_FALSE(window.empty()) << "the window did not appear";
  ASSERT_TRUE(Keys(window, "key F9"));
  const std::string expected = "<><,9600,3,13,13,0,0,0,0,0,114,HIBAHO,1,0,0,>";
  ASSERT_TRUE(display_.WaitForBytes(expected.size(), 10s));
  EXPECT_EQ(display_.WaitQuiet(100ms), expected);
#ifdef RV58CTL_PATH
  EXPECT_EQ("<>" + Output(std::string(RV58CTL_PATH) + " message '" + (dir_ / "same.rv5").string() + "'"),
            expected);
#endif
  const termios t = display_.LineSettings();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
  // The whole "RV5" section is written after the transmission.
  EXPECT_TRUE(WaitStored("nm", "0"));
  EXPECT_EQ(Stored("ht"), "HIBAHO");
  EXPECT_EQ(Stored("nev"), "Sil\xF3");
  EXPECT_EQ(Stored("port"), "COM7");
  EXPECT_EQ(Stored("bd"), "5");
}

// The window manager sees each caption as the window gives it, with nothing appended, and the
// program's icon.
TEST_F(UploadBinary, CaptionsAreTheirTextsAloneAndTheWindowHasTheIcon) {
  if (!OnPath("xprop")) {
    GTEST_SKIP() << "no xprop";
  }
  WritePrefs("tm=44\r\n"); // a comma terminator: F9 warns
  const std::string window = Start();
  ASSERT_FALSE(window.empty()) << "the window did not appear";
  const std::string x = "DISPLAY=" + xServer->Display() + " ";
  EXPECT_EQ(Output(x + "xprop -id " + window + " _NET_WM_NAME"), "_NET_WM_NAME(UTF8_STRING) = \"RV58Set\"");
  EXPECT_NE(Output(x + "xprop -id " + window + " _NET_WM_ICON").find("Icon (16 x 16)"), std::string::npos);
  ASSERT_TRUE(Keys(window, "key F9"));
  const std::string box = Output(x + "timeout 20 xdotool search --sync --all --onlyvisible --pid " +
                                 std::to_string(app_->Pid()) + " --name 'zenet$' 2>/dev/null");
  ASSERT_FALSE(box.empty()) << "no warning box";
  EXPECT_EQ(Output(x + "xprop -id " + box + " _NET_WM_NAME"), "_NET_WM_NAME(UTF8_STRING) = \"Üzenet\"");
}

TEST_F(UploadBinary, FirstDisplayVersionGoesAt2400) {
  WritePrefs("ve=0\r\n");
  const std::string window = Start();
  ASSERT_FALSE(window.empty()) << "the window did not appear";
  ASSERT_TRUE(Keys(window, "key F9"));
  ASSERT_TRUE(display_.WaitForBytes(2 + kDefaultMessage.size(), 10s));
  EXPECT_EQ(display_.WaitQuiet(100ms), "<>" + kDefaultMessage);
  EXPECT_EQ(Speed(), static_cast<speed_t>(B2400));
}

TEST_F(UploadBinary, SecondF9DuringTheUploadSendsNothingMore) {
  WritePrefs("");
  const std::string window = Start();
  ASSERT_FALSE(window.empty()) << "the window did not appear";
  // Both presses are queued at once; the second is handled where the first transmission lets
  // the window process its events.
  ASSERT_TRUE(Keys(window, "key F9 key F9"));
  ASSERT_TRUE(display_.WaitForBytes(2 + kDefaultMessage.size(), 10s));
  EXPECT_EQ(display_.WaitQuiet(500ms), "<>" + kDefaultMessage);
}

} // namespace
} // namespace rv58::test
