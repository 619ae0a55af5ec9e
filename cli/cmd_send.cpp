#include "commands.h"

#include "ComPort.h"
#include "senddisplay.h"

#include <iostream>

namespace rv58::cli {

int CmdTest(const CliContext&, const Args& args) {
  std::string port;
  bool old = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--port" && i + 1 < args.size()) {
      port = args[++i];
    } else if (args[i] == "--old") {
      old = true;
    } else {
      return UsageError();
    }
  }
  if (port.empty())
    return UsageError();

  // The component as the window creates it; only Port and Baud change per transmission.
  TComPort comPort;
  comPort.Baud = 2400;
  if (!SendToDisplay(comPort, port, old ? 2400 : 9600, false, "<,<<>")) {
    std::cerr << "A soros port nem nyitaható meg !\n";
    return kExitFailed;
  }
  return kExitOk;
}

int CmdUpload(const CliContext&, const Args&) {
  std::cerr << "rv58ctl: ez a parancs még nem érhető el\n";
  return kExitFailed;
}

} // namespace rv58::cli
