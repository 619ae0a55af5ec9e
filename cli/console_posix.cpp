#include "console.h"

namespace rv58::cli {

// Streams carry bytes and arguments are UTF-8 already.
std::vector<std::string> PrepareConsole(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

} // namespace rv58::cli
