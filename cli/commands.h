#pragma once

#include "portnames.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace rv58::cli {

// What every command gets besides its own arguments.
struct CliContext {
  std::string iniPath;  // preferences file: from --ini, or the program's default location
  TPortNames portNames; // its "Ports" section: what the port names of every command stand for
};

using Args = std::vector<std::string>;

// Exit codes shared by the commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitFailed = 2;  // port cannot be opened, file cannot be written
inline constexpr int kExitRefused = 3; // the upload check refused the settings
inline constexpr int kExitBadFile = 4; // a settings file that cannot be read or holds no "RV5" section

// The port opened, but the bytes did not all leave (hang-up, write error, not drained in time).
inline constexpr int kExitSendFailed = 5;
inline constexpr int kExitNothing = 6; // detect heard nothing usable

void PrintUsage(std::ostream& out);

// Prints the usage on standard error and returns kExitUsage.
int UsageError();

int CmdMessage(const CliContext& ctx, const Args& args);
int CmdDefaults(const CliContext& ctx, const Args& args);
int CmdPorts(const CliContext& ctx, const Args& args);
int CmdTest(const CliContext& ctx, const Args& args);
int CmdUpload(const CliContext& ctx, const Args& args);
int CmdMonitor(const CliContext& ctx, const Args& args);
int CmdDetect(const CliContext& ctx, const Args& args);

} // namespace rv58::cli
