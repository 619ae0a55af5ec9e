#pragma once
// The program's standard streams and arguments, one file per platform (console_posix.cpp,
// console_win.cpp).

#include <string>
#include <vector>

namespace rv58::cli {

// Makes standard input and output carry bytes unchanged (the configuration message is printed
// exactly, with no line-end translation) and returns the command-line arguments in UTF-8.
std::vector<std::string> PrepareConsole(int argc, char** argv);

} // namespace rv58::cli
