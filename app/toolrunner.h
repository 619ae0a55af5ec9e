#pragma once

// Running an external tool with a time limit, silently: the one place where the program starts
// other programs and waits for them. One implementation per platform (toolrunner_posix.cpp,
// toolrunner_win.cpp).

#include <chrono>
#include <string>
#include <vector>

namespace rv58 {

// The full path of the program `name` in the first folder of `searchPath` (the platform's
// list form, as in $PATH; empty: the system's folders) that holds it; empty when none does.
std::string FindTool(const std::string& name, const std::string& searchPath);

// Runs `program` with `args`, with nothing on its input and its output thrown away, and waits
// at most `limit` for it; one that overruns is ended. True when it ran and exited with 0.
// Blocks the calling thread: callers on the user-interface thread run it on a thread of its own.
bool RunTool(const std::string& program, const std::vector<std::string>& args,
             std::chrono::milliseconds limit);

} // namespace rv58
