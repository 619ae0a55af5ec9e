// The association as the desktop's own tools see it: xdg-mime, desktop-file-validate and gio,
// run against a temporary home. Skipped where the freedesktop tools are not installed.
#include "fileassoc.h"
#include "testutil_files.h"
#include "testutil_process.h"
#include "testutil_tempdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace rv58;

namespace {

bool HaveTool(const char* name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (true) {
    const auto colon = dirs.find(':', start);
    const std::string dir =
        dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (!dir.empty() && ::access((dir + "/" + name).c_str(), X_OK) == 0)
      return true;
    if (colon == std::string::npos)
      return false;
    start = colon + 1;
  }
}

struct ToolRun {
  int status = -1;
  std::string out;
};

// Runs a tool with extra environment variables, collects its standard output and kills it when it
// overruns the limit.
ToolRun RunWithEnv(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
  test::TChildOptions options;
  options.env = extraEnv;
  options.timeLimit = std::chrono::seconds(20);
  const test::TChildResult child = test::RunChild(args, options);
  ToolRun run;
  run.status = child.exitCode;
  run.out = child.out;
  while (!run.out.empty() && (run.out.back() == '\n' || run.out.back() == ' '))
    run.out.pop_back();
  return run;
}

class AssocTools : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* tool : {"xdg-mime", "update-mime-database", "update-desktop-database", "gio"})
      if (!HaveTool(tool))
        GTEST_SKIP() << tool << " is not installed";
    root = folder.Path();
    fs::create_directories(root / "home");
    // A stand-in program (with a space in its folder) that records the arguments it was given.
    program = root / "my tools/rv58led";
    fs::create_directories(program.parent_path());
    std::ofstream(program) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \""
                           << (root / "args.tmp").string() << "\"\nmv \"" << (root / "args.tmp").string()
                           << "\" \"" << (root / "args.txt").string() << "\"\n";
    fs::permissions(program, fs::perms::owner_all);

    env.home = (root / "home").string();
    env.xdgDataHome = (root / "home/.local/share").string();
    env.xdgConfigHome = (root / "home/.config").string();
    const char* path = std::getenv("PATH");
    env.path = path ? path : "";
    env.executable = program.string();
    childEnv = {"HOME=" + env.home, "XDG_DATA_HOME=" + env.xdgDataHome,
                "XDG_CONFIG_HOME=" + env.xdgConfigHome,
                // xdg-mime asks GIO on a GNOME-like desktop; its generic mode only knows `file`.
                "XDG_CURRENT_DESKTOP=GNOME", "XDG_DATA_DIRS=/usr/local/share:/usr/share"};
  }
  test::TempDir folder{"rv58tools"};
  fs::path root, program;
  AssociationEnvironment env;
  std::vector<std::string> childEnv;
};

TEST_F(AssocTools, DesktopToolsSeeOurTypeAndOurProgram) {
  const AssociationResult r = AssociateFileType(env);
  EXPECT_TRUE(r.mimeDatabaseRefreshed);
  EXPECT_TRUE(r.desktopDatabaseRefreshed);
  EXPECT_TRUE(fs::exists(root / "home/.local/share/mime/mime.cache"));
  EXPECT_NE(test::ReadBytes(root / "home/.local/share/applications/mimeinfo.cache")
                .find("application/x-rv58-settings=rv58led.desktop;"),
            std::string::npos);

  const fs::path file = root / "Mérleg 1.rv5";
  std::ofstream(file) << "[RV5]\r\nbd=1\r\n";
  EXPECT_EQ(RunWithEnv({"xdg-mime", "query", "filetype", file.string()}, childEnv).out,
            "application/x-rv58-settings");
  // Globs match regardless of letter case.
  const fs::path upper = root / "OLD.RV5";
  std::ofstream(upper) << "[RV5]\r\n";
  EXPECT_EQ(RunWithEnv({"xdg-mime", "query", "filetype", upper.string()}, childEnv).out,
            "application/x-rv58-settings");
  EXPECT_EQ(RunWithEnv({"xdg-mime", "query", "default", "application/x-rv58-settings"}, childEnv).out,
            "rv58led.desktop");

  if (HaveTool("desktop-file-validate")) {
    const ToolRun v = RunWithEnv(
        {"desktop-file-validate", (root / "home/.local/share/applications/rv58led.desktop").string()}, {});
    EXPECT_EQ(v.status, 0) << v.out;
  }
}

TEST_F(AssocTools, OpeningASettingsFileStartsTheProgramWithItsPath) {
  AssociateFileType(env);
  const fs::path file = root / "Mérleg 1.rv5";
  std::ofstream(file) << "[RV5]\r\nbd=1\r\n";
  const ToolRun open = RunWithEnv({"gio", "open", file.string()}, childEnv);
  EXPECT_EQ(open.status, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!fs::exists(root / "args.txt") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(test::ReadBytes(root / "args.txt"), file.string() + "\n");
}

TEST_F(AssocTools, AMissingRefreshToolIsSkippedAndTheFilesStillCount) {
  env.path = (root / "empty").string();
  const AssociationResult r = AssociateFileType(env);
  EXPECT_FALSE(r.mimeDatabaseRefreshed);
  EXPECT_FALSE(r.desktopDatabaseRefreshed);
  EXPECT_TRUE(r.mimePackage && r.desktopEntry && r.defaults);
  EXPECT_FALSE(fs::exists(root / "home/.local/share/mime/mime.cache"));
}

TEST_F(AssocTools, ARefreshToolThatHangsIsKilledAtTheTimeLimit) {
  const fs::path bin = root / "slowbin";
  fs::create_directories(bin);
  for (const char* name : {"update-mime-database", "update-desktop-database"}) {
    std::ofstream(bin / name) << "#!/bin/sh\nexec sleep 30\n";
    fs::permissions(bin / name, fs::perms::owner_all);
  }
  env.path = bin.string() + ":/usr/bin:/bin";
  env.toolTimeout = std::chrono::milliseconds(200);
  const auto start = std::chrono::steady_clock::now();
  const AssociationResult r = AssociateFileType(env);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(r.mimeDatabaseRefreshed);
  EXPECT_FALSE(r.desktopDatabaseRefreshed);
  EXPECT_TRUE(r.defaults);
  EXPECT_LT(took, std::chrono::seconds(5));
}

} // namespace

// Each test program of this folder brings its own main; weak, so that a shared one wins.
__attribute__((weak)) int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
