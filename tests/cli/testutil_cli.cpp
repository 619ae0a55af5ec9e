#include "testutil_cli.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace rv58::test {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

fs::path MakeTestFolder(const std::string& stem) {
  const fs::path dir =
      fs::temp_directory_path() / (stem + "-" + std::to_string(getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::create_directories(dir);
  return dir;
}

TCliRun RunRv58ctl(const fs::path& dir, const std::string& args) {
  const auto out = dir / "out", err = dir / "err";
  const std::string command = std::string("'") + RV58CTL_PATH + "' --ini '" + (dir / "rv58led.ini").string() +
                              "' " + args + " >'" + out.string() + "' 2>'" + err.string() + "'";
  TCliRun run;
  run.started = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  run.ended = std::chrono::steady_clock::now();
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = Slurp(out);
  run.err = Slurp(err);
  return run;
}

} // namespace rv58::test
