// rv58ctl test: the display-test message through the serial port component, against a pty.
#include "ComPort.h"
#include "testutil_cli.h"
#include "testutil_ptydisplay.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <termios.h>

namespace rv58 {
namespace {

namespace fs = std::filesystem;

using TRun = test::TCliRun;

class RvctlTest : public ::testing::Test {
protected:
  TRun Run(const std::string& args) { return test::RunRv58ctl(dir_, args); }

  test::TempDir folder_{"rv58-send"};
  fs::path dir_ = folder_.Path();
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
  EXPECT_EQ(
      run.err,
      "A soros port nem nyitaható meg !\n/dev/rv58-no-such-port: nem található (nincs csatlakoztatva?)\n");
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
  EXPECT_EQ(run.err, "A soros port nem nyitaható meg !\n" + display.SlavePath() +
                         ": foglalt, egy másik program használja\n");
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
