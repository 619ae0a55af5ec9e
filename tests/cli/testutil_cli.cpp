#include "testutil_cli.h"

#include "testutil_files.h"
#include "testutil_process.h"

namespace rv58::test {

namespace fs = std::filesystem;

TCliRun RunRv58ctl(const fs::path& dir, const std::string& args) {
  const auto out = dir / "out", err = dir / "err";
  const std::string command = std::string("'") + RV58CTL_PATH + "' --ini '" + (dir / "rv58led.ini").string() +
                              "' " + args + " >'" + out.string() + "' 2>'" + err.string() + "'";
  TCliRun run;
  const TChildResult child = RunShell(command);
  run.started = child.started;
  run.ended = child.ended;
  run.exitCode = child.exitCode;
  run.out = ReadBytes(out);
  run.err = ReadBytes(err);
  return run;
}

} // namespace rv58::test
