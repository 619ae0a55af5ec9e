// rv58ctl ports and port names given by the preferences file's "Ports" section, run as a process.
#include "testutil_process.h"
#include "testutil_ptydisplay.h"
#include "testutil_tempdir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

using ::testing::Contains;
using ::testing::Not;

struct CtlRun {
  int exitCode = -1;
  std::vector<std::string> lines;
};

CtlRun Rv58ctl(const std::string& arguments) {
  const std::string command = std::string(RV58CTL_PATH) + " " + arguments + " 2>/dev/null";
  CtlRun run;
  const auto child = rv58::test::RunShell(command);
  const std::string& out = child.out;
  run.exitCode = child.exitCode;
  std::size_t pos = 0;
  while (pos < out.size()) {
    auto end = out.find('\n', pos);
    if (end == std::string::npos)
      end = out.size();
    run.lines.push_back(out.substr(pos, end - pos));
    pos = end + 1;
  }
  return run;
}

class PortsCommand : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_FALSE(pty.SlavePath().empty()); }

  std::string Ini(const std::string& content) {
    const auto path = dir_.Path() / "rv58led.ini";
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }

  rv58::test::TempDir dir_{"rv58-ports-cli"};
  rv58::test::TPtyDisplay pty;
};

TEST_F(PortsCommand, ExplicitEntryIsListedInOrderAmongTheMachinesPorts) {
  const std::string ini =
      Ini("[RV5]\r\nbd=1\r\n[Ports]\r\ncom7=" + pty.SlavePath() + "\r\nCOM200=/nonexistent/ttyUSB9\r\n");
  const CtlRun bare = Rv58ctl("--ini " + ini + " ports");
  EXPECT_EQ(bare.exitCode, 0);
  EXPECT_THAT(bare.lines, Contains("COM7"));
  EXPECT_THAT(bare.lines, Not(Contains("COM200")));
  int previous = 0;
  for (const auto& line : bare.lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, std::regex("COM([0-9]+)"))) << line;
    const int number = std::stoi(m[1]);
    EXPECT_GT(number, previous) << "ascending, each once";
    EXPECT_LE(number, 256);
    previous = number;
  }

  const CtlRun verbose = Rv58ctl("ports -v --ini " + ini);
  EXPECT_EQ(verbose.exitCode, 0);
  EXPECT_THAT(verbose.lines, Contains("COM7 - " + pty.SlavePath()));
  EXPECT_EQ(verbose.lines.size(), bare.lines.size());
  for (std::size_t i = 0; i < verbose.lines.size() && i < bare.lines.size(); ++i)
    EXPECT_EQ(verbose.lines[i].rfind(bare.lines[i] + " - ", 0), 0u) << verbose.lines[i];
}

TEST_F(PortsCommand, TestCommandOpensTheDeviceThePortNameStandsFor) {
  const std::string ini = Ini("[Ports]\nCOM7=" + pty.SlavePath() + "\n");
  const CtlRun run = Rv58ctl("--ini " + ini + " test --port COM7");
  EXPECT_EQ(run.exitCode, 0);
  pty.WaitForBytes(7, std::chrono::milliseconds(2000));
  EXPECT_EQ(pty.Received(), "<><,<<>");
}

TEST_F(PortsCommand, RealSerialHardwareIsListedWithoutPhantomSlots) {
  // Compared with what the kernel says; nothing here opens a device.
  const CtlRun run = Rv58ctl("--ini " + Ini("") + " ports -v");
  ASSERT_EQ(run.exitCode, 0);
  std::set<std::string> listed;
  for (const auto& line : run.lines) {
    EXPECT_TRUE(std::regex_match(line, std::regex("COM[0-9]+ - .+ /dev/\\S+"))) << line;
    std::smatch m;
    if (std::regex_search(line, m, std::regex("/dev/(ttyS[0-9]+)$")))
      listed.insert(m[1]);
  }
  std::set<std::string> real;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/class/tty", ec)) {
    const std::string name = entry.path().filename().string();
    if (!std::regex_match(name, std::regex("ttyS[0-9]+")))
      continue;
    std::ifstream typeFile(entry.path() / "type");
    int type = -1;
    if (typeFile >> type && type != 0)
      real.insert(name);
  }
  EXPECT_EQ(listed, real);
}

TEST_F(PortsCommand, MissingPreferencesFileAndBadArguments) {
  const CtlRun run = Rv58ctl("--ini " + (dir_.Path() / "missing" / "rv58led.ini").string() + " ports");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(Rv58ctl("--ini " + Ini("") + " ports -x").exitCode, 1);
  // Standard output that cannot be written.
  EXPECT_EQ(
      Rv58ctl("--ini " + Ini("[Ports]\nCOM7=" + pty.SlavePath() + "\n") + " ports -v >/dev/full").exitCode,
      2);
}

} // namespace
