// The long run, once per CI run and not under the sanitizers (ctest label "soak"): 1,000 openings
// of the serial component on a pseudo-terminal, each sending one numbered piece, and 200 uploads
// through rv58ctl. Every byte arrives, in order, and the process holds as many descriptors and
// threads at the end as at the start.
#include "ComPort.h"
#include "displaysettings.h"
#include "inifile.h"
#include "message.h"
#include "settingsfile.h"
#include "testutil_cli.h"
#include "testutil_ptydisplay.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace rv58 {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::size_t Entries(const char* folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

struct TUsage {
  std::size_t fds = Entries("/proc/self/fd");
  std::size_t threads = Entries("/proc/self/task");
};

TEST(Soak, AThousandOpenSendCloseCyclesOnAPseudoTerminal) {
  test::TPtyDisplay display;
  const TUsage before;
  std::string sent;
  {
    THandOff handOff;
    TComPort port{handOff};
    port.Port = display.SlavePath();
    port.Baud = 9600;
    for (int i = 0; i < 1000; ++i) {
      port.Open();
      ASSERT_TRUE(port.Active()) << "opening " << i;
      const std::string piece = "<" + std::to_string(i) + ",>";
      port.SendString(piece);
      sent += piece;
      port.Close();
      // A pseudo-terminal does not pace its output, so the drain at closing returns at once and
      // the purge of the next opening would drop what the display has not read yet.
      ASSERT_TRUE(display.WaitForBytes(sent.size(), 5s)) << "piece " << i;
    }
  }
  ASSERT_TRUE(display.WaitForBytes(sent.size(), 30s));
  EXPECT_EQ(display.WaitQuiet(100ms), sent);
  const TUsage after;
  EXPECT_EQ(after.fds, before.fds);
  EXPECT_EQ(after.threads, before.threads);
}

TEST(Soak, TwoHundredUploadsThroughRv58ctl) {
  test::TPtyDisplay display;
  const test::TempDir folder("rv58-soak");
  const fs::path dir = folder.Path();
  std::ofstream(dir / "rv58led.ini", std::ios::binary) << "[Ports]\r\nCOM7=" << display.SlavePath() << "\r\n";
  const TUsage before;
  std::string sent;
  for (int i = 0; i < 200; ++i) {
    // Each upload differs, so that a lost or repeated one shows.
    const fs::path file = dir / "s.rv5";
    fs::remove(file);
    DisplaySettings s = DisplaySettings::Defaults();
    s.SetLe(i % 5);
    s.SetHt("S" + std::to_string(i));
    s.SetComport_up("COM7");
    TIniFile ini(file.string());
    ASSERT_TRUE(savefile(s, ini));
    const test::TCliRun run = test::RunRv58ctl(dir, "upload '" + file.string() + "'");
    ASSERT_EQ(run.exitCode, 0) << "upload " << i << ": " << run.err;
    sent += std::string(kPreamble) + ConfigurationMessage(s);
  }
  ASSERT_TRUE(display.WaitForBytes(sent.size(), 30s));
  EXPECT_EQ(display.WaitQuiet(100ms), sent);
  const TUsage after;
  EXPECT_EQ(after.fds, before.fds);
  EXPECT_EQ(after.threads, before.threads);
}

} // namespace
} // namespace rv58
