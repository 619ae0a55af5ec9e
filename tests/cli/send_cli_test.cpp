// rv58ctl test: the display-test message through the serial port component, against a pty.
#include "../serial/testutil_ptydisplay.h"
#include "ComPort.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace rv58 {
namespace {

namespace fs = std::filesystem;

struct TRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class RvctlTest : public ::testing::Test {
protected:
  RvctlTest() {
    dir_ = fs::temp_directory_path() / ("rv58-send-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  ~RvctlTest() override { fs::remove_all(dir_); }

  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  TRun Run(const std::string& args) {
    const auto out = dir_ / "out", err = dir_ / "err";
    const std::string command = std::string("'") + RV58CTL_PATH + "' --ini '" +
                                (dir_ / "rv58led.ini").string() + "' " + args + " >'" + out.string() +
                                "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    TRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Slurp(out);
    run.err = Slurp(err);
    return run;
  }

  fs::path dir_;
};

TEST_F(RvctlTest, TestSendsPreambleAndDisplayTestAt9600) {
  test::TPtyDisplay display;
  const TRun run = Run("test --port " + display.SlavePath());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  ASSERT_TRUE(display.WaitForBytes(7));
  EXPECT_EQ(display.WaitQuiet(std::chrono::milliseconds(100)), "<><,<<>");
  const termios t = display.LineSettings();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
}

TEST_F(RvctlTest, TestWithOldSendsAt2400) {
  test::TPtyDisplay display;
  const TRun run = Run("test --old --port " + display.SlavePath());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  ASSERT_TRUE(display.WaitForBytes(7));
  EXPECT_EQ(display.WaitQuiet(std::chrono::milliseconds(100)), "<><,<<>");
  const termios t = display.LineSettings();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B2400));
}

TEST_F(RvctlTest, TestOnAPortThatCannotBeOpenedExitsWith2) {
  const TRun run = Run("test --port /dev/rv58-no-such-port");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "A soros port nem nyitaható meg !\n");
  EXPECT_EQ(run.out, "");
}

TEST_F(RvctlTest, TestOnAPortInUseExitsWith2AndSendsNothing) {
  test::TPtyDisplay display;
  TComPort holder{THandOff()};
  holder.Port = display.SlavePath();
  holder.Open();
  ASSERT_TRUE(holder.Active());
  const TRun run = Run("test --port " + display.SlavePath());
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "A soros port nem nyitaható meg !\n");
  holder.Close();
  EXPECT_EQ(display.WaitQuiet(std::chrono::milliseconds(100)), "");
}

TEST_F(RvctlTest, TestWithoutPortIsAUsageError) {
  EXPECT_EQ(Run("test").exitCode, 1);
  EXPECT_EQ(Run("test --port").exitCode, 1);
  EXPECT_EQ(Run("test --port x --bogus").exitCode, 1);
}

} // namespace
} // namespace rv58
