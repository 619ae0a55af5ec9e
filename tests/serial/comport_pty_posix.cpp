// TComPort on the Linux back-end, with pseudo-terminals as ports: bytes and their order, termios,
// exclusivity, devices that cannot be opened, and a device that hangs up while open.
#include "ComPort.h"
#include "testutil_process.h"
#include "testutil_ptydisplay.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rv58 {
namespace {

using namespace std::chrono_literals;
using test::TPtyDisplay;

constexpr int kProbeOpened = 10;
constexpr int kProbeFailed = 20;

// Runs this test program again as another process that tries to open `path` with a TComPort
// (optionally as another user); returns kProbeOpened, kProbeFailed or something else on trouble.
int ProbeFromAnotherProcess(const std::string& path, int uid = -1) {
  test::TChildOptions options;
  options.env.push_back("RV58_PROBE_PATH=" + path);
  if (uid >= 0)
    options.env.push_back("RV58_PROBE_UID=" + std::to_string(uid));
  options.stdoutFile = "/dev/null"; // gtest's chatter
  const std::string self = std::filesystem::read_symlink("/proc/self/exe");
  return test::RunChild({self, "--gtest_filter=ComPortChildProbe.OpenNamedPort"}, options).exitCode;
}

// The other process of ProbeFromAnotherProcess; skipped in a normal run.
TEST(ComPortChildProbe, OpenNamedPort) {
  const char* path = std::getenv("RV58_PROBE_PATH");
  if (!path)
    GTEST_SKIP() << "only run as the other process of a test";
  if (const char* uid = std::getenv("RV58_PROBE_UID")) {
    const uid_t id = static_cast<uid_t>(std::atoi(uid));
    if (setgroups(0, nullptr) != 0 || setgid(id) != 0 || setuid(id) != 0)
      std::_Exit(1);
  }
  TComPort port{THandOff()};
  port.Port = path;
  port.Open();
  std::_Exit(port.Active() ? kProbeOpened : kProbeFailed);
}

int OpenDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class PtyPort : public ::testing::Test {
protected:
  PtyPort() {
    port.Port = display.SlavePath();
    port.OnError = [this](TComPort&) { ++errors; };
  }
  bool ServeUntil(const std::function<bool()>& done) { return handOff.ServeUntil(done, 10s); }

  TPtyDisplay display;
  THandOff handOff;
  TComPort port{handOff};
  int errors = 0;
};

TEST_F(PtyPort, BytesArriveExactlyAndInCallOrder) {
  std::string all;
  for (int c = 0; c < 256; ++c)
    all += static_cast<char>(c);
  port.Open();
  ASSERT_TRUE(port.Active());
  port.SetDTR(true); // a pseudo-terminal has no modem lines; ignored
  port.SetDTR(false);
  port.SendString("<>");
  port.SendString("");
  port.SendString("<,<<>");
  port.SendString(all);
  port.SendString("\r\n");
  port.Close();
  const std::string expected = "<><,<<>" + all + "\r\n";
  ASSERT_TRUE(display.WaitForBytes(expected.size()));
  EXPECT_EQ(display.WaitQuiet(50ms), expected);
  EXPECT_EQ(errors, 0);
}

TEST_F(PtyPort, LineIsRawAtTheChosenSpeedAndLeavesTheModemLinesAloneOnClose) {
  port.Baud = 2400;
  port.Open();
  ASSERT_TRUE(port.Active());
  termios t = display.LineSettings();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B2400));
  EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B2400));
  EXPECT_EQ(t.c_cflag & HUPCL, 0u);
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
  EXPECT_NE(t.c_cflag & CLOCAL, 0u);
  EXPECT_NE(t.c_cflag & CREAD, 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  port.Close();
  t = display.LineSettings(); // put back as the opening found it
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B38400));

  port.Baud = 9600;
  port.Open();
  t = display.LineSettings();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
  port.Close();

  // A speed the device refuses leaves the provisional 9600 and an open port.
  port.Baud = 2400;
  port.Open();
  port.Close();
  port.Baud = 0;
  port.Open();
  EXPECT_TRUE(port.Active());
  t = display.LineSettings();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
}

TEST_F(PtyPort, ReceivesThroughThePseudoTerminal) {
  std::vector<std::string> received;
  port.ReceiveCallBack = [&](const std::string& data) { received.push_back(data); };
  port.Open();
  display.Send("  12.5 kg\r\n");
  ASSERT_TRUE(ServeUntil([&] { return !received.empty(); }));
  EXPECT_EQ(received[0], "  12.5 kg\r\n");
}

TEST_F(PtyPort, SecondPortInThisProcessCannotOpenAnOpenPort) {
  port.Open();
  ASSERT_TRUE(port.Active());
  const int before = OpenDescriptors();
  TComPort second{handOff};
  int secondErrors = 0;
  second.OnError = [&](TComPort&) { ++secondErrors; };
  second.Port = display.SlavePath();
  second.Open();
  EXPECT_FALSE(second.Active());
  EXPECT_EQ(secondErrors, 1);
  EXPECT_EQ(OpenDescriptors(), before); // nothing left open
  // The first one is undisturbed; once it is closed the second one opens.
  port.SendString("first");
  ASSERT_TRUE(display.WaitForBytes(5));
  port.Close();
  second.Open();
  EXPECT_TRUE(second.Active());
}

TEST_F(PtyPort, PortAnotherProgramHoldsExclusivelyStaysBusyAndKeepsItsFlag) {
  // A holder that uses TIOCEXCL but no lock; root passes TIOCEXCL at open(), so ask.
  const int holder = ::open(display.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::ioctl(holder, TIOCEXCL), 0);
  port.Open();
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(port.OpenError(), display.SlavePath() + ": foglalt, egy másik program használja");
  int exclusive = 0;
  ASSERT_EQ(::ioctl(holder, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 1) << "the holder's exclusive use was cleared";
  ::ioctl(holder, TIOCNXCL);
  ::close(holder);
  port.Open();
  EXPECT_TRUE(port.Active());
}

// A holder killed while it had the port leaves TIOCEXCL set on a pseudo-terminal. Root sees that no
// process holds the device any more and takes the port; for others the kernel's refusal stands.
TEST_F(PtyPort, AFlagWhoseHolderWasKilledIsStale) {
  display.ReleaseSlave();
  for (const bool holderLives : {true, false}) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
      const int fd = ::open(display.SlavePath().c_str(), O_RDWR | O_NOCTTY);
      if (fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0 && ::write(ready[1], "x", 1) == 1)
        ::pause();
      ::_exit(1);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    if (!holderLives) {
      ::kill(holder, SIGKILL);
      ::waitpid(holder, nullptr, 0);
    }
    port.Open();
    EXPECT_EQ(port.Active(), !holderLives && geteuid() == 0) << holderLives << " " << port.OpenError();
    port.Close();
    if (holderLives) {
      ::kill(holder, SIGKILL);
      ::waitpid(holder, nullptr, 0);
    }
  }
}

TEST_F(PtyPort, AnotherProcessCannotOpenAnOpenPort) {
  port.Open();
  ASSERT_TRUE(port.Active());
  EXPECT_EQ(ProbeFromAnotherProcess(display.SlavePath()), kProbeFailed);
  port.Close();
  EXPECT_EQ(ProbeFromAnotherProcess(display.SlavePath()), kProbeOpened);
}

TEST_F(PtyPort, MissingDeviceOrNoTerminalIsAnOpenFailure) {
  const int before = OpenDescriptors();
  port.Port = "/dev/rv58-no-such-port";
  port.Open();
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(port.OpenError(), "/dev/rv58-no-such-port: nem található (nincs csatlakoztatva?)");

  const auto file = std::filesystem::temp_directory_path() / ("rv58-not-a-tty-" + std::to_string(getpid()));
  std::ofstream(file) << "x";
  port.Port = file.string();
  port.Open();
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(errors, 2);
  EXPECT_EQ(port.OpenError(), file.string() + ": nem soros eszköz");
  std::filesystem::remove(file);
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(PtyPort, DeviceWithoutPermissionIsAnOpenFailure) {
  ASSERT_EQ(chmod(display.SlavePath().c_str(), 0600), 0);
  if (geteuid() == 0) {
    // Root may open anything; ask as an ordinary user instead.
    EXPECT_EQ(ProbeFromAnotherProcess(display.SlavePath(), 65534), kProbeFailed);
    return;
  }
  ASSERT_EQ(chmod(display.SlavePath().c_str(), 0), 0);
  port.Open();
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(errors, 1);
}

TEST_F(PtyPort, HungUpDeviceMakesNoBusyLoopAndCloseCompletes) {
  std::vector<std::string> received;
  port.ReceiveCallBack = [&](const std::string& data) { received.push_back(data); };
  port.Open();
  ASSERT_TRUE(port.Active());
  EXPECT_FALSE(port.HungUp());
  display.HangUp();
  // Serve whatever comes for half a second and watch the CPU time meanwhile: a reader that kept
  // polling the hung-up device would burn all of it.
  const std::uint64_t servedBefore = handOff.Served();
  const double cpuBefore = ProcessCpuSeconds();
  handOff.ServeUntil([] { return false; }, 500ms);
  const double cpu = ProcessCpuSeconds() - cpuBefore;
  EXPECT_LT(cpu, 0.2);
  EXPECT_LT(handOff.Served() - servedBefore, 5u);
  port.SendString("into the void"); // no effect, no crash
  port.SetRTS(true);
  const auto start = std::chrono::steady_clock::now();
  port.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_FALSE(port.Active());
  EXPECT_TRUE(port.HungUp()); // seen by the reader at once, and kept after the close
  EXPECT_TRUE(received.empty());
}

} // namespace
} // namespace rv58
