#pragma once
// The program's standard streams, arguments and interruptions, one file per platform
// (console_posix.cpp, console_win.cpp).

#include <string>
#include <string_view>
#include <vector>

namespace rv58::cli {

// Makes standard input and output carry bytes unchanged (the configuration message is printed
// exactly, with no line-end translation) and returns the command-line arguments in UTF-8.
std::vector<std::string> PrepareConsole(int argc, char** argv);

// While one lives, Ctrl+C and SIGTERM only set Interrupted() and wake a WriteOutput that waits for
// room, so a listening command closes its port and ends in order even when nobody reads its output.
class TInterruptScope {
public:
  TInterruptScope();
  ~TInterruptScope();
  TInterruptScope(const TInterruptScope&) = delete;
  TInterruptScope& operator=(const TInterruptScope&) = delete;
};
bool Interrupted();

// Writes all bytes to standard output; false when it cannot be written (a full disk, a closed
// pipe) or when an interruption came while it waited for room.
bool WriteOutput(std::string_view bytes);

} // namespace rv58::cli
