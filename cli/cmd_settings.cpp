#include "commands.h"

#include <iostream>

namespace rv58::cli {

int CmdMessage(const CliContext&, const Args&) {
  std::cerr << "rv58ctl: ez a parancs még nem érhető el\n";
  return kExitFailed;
}

int CmdDefaults(const CliContext&, const Args&) {
  std::cerr << "rv58ctl: ez a parancs még nem érhető el\n";
  return kExitFailed;
}

} // namespace rv58::cli
