#include "commands.h"

#include "cp1250.h"
#include "unitportdetect.h"

#include <iostream>

namespace rv58::cli {

// Descriptions are Windows-1250 like every text of the core; the terminal speaks UTF-8.
int CmdPorts(const CliContext& ctx, const Args& args) {
  bool descriptive = false;
  for (const auto& arg : args) {
    if (arg == "-v" || arg == "--verbose")
      descriptive = true;
    else
      return UsageError();
  }
  std::vector<std::string> lines;
  ListPorts(ctx.portNames, lines, descriptive);
  std::string out;
  for (const auto& line : lines)
    out += Cp1250ToUtf8(line) + "\n";
  std::cout << out << std::flush;
  return std::cout ? kExitOk : kExitFailed;
}

} // namespace rv58::cli
