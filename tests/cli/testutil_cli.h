#pragma once
// Running the real rv58ctl from a test: its own preferences file in a per-test folder, both output
// streams captured.

#include "testutil_files.h"

#include <chrono>
#include <filesystem>
#include <string>

namespace rv58::test {

struct TCliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
  // Around the process alone, before its output is read back.
  std::chrono::steady_clock::time_point started;
  std::chrono::steady_clock::time_point ended;
};

// Runs rv58ctl through the shell with `dir`/rv58led.ini as its preferences file; `args` are shell
// words. The output streams go through files in `dir`.
TCliRun RunRv58ctl(const std::filesystem::path& dir, const std::string& args);

} // namespace rv58::test
