// rv58ctl monitor and detect against a pty that plays a scale.
#include "testutil_cli.h"
#include "testutil_ptydisplay.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

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
  test::TPtyDisplay silent;
  const fs::path missing = dir_ / "no-such-port";
  struct Case {
    std::string args;
    int exitCode;
    std::string err; // a part of the message
  };
  const Case cases[] = {
      {"monitor --port " + missing.string() + " --count 1", 2, "nem nyitaható meg"},
      {"detect --port " + missing.string(), 2, "nem nyitaható meg"},
      {"detect --port " + silent.SlavePath() + " --seconds 2", 6, "nincs adat"},
      {"monitor --port " + silent.SlavePath() + " --seconds 0.3", 0, ""},
      {"monitor --count 1", 1, ""},
  };
  for (const auto& c : cases) {
    const auto run = Run(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args << "\n" << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args << "\n" << run.err;
  }
}

} // namespace
} // namespace rv58
