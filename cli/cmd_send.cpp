#include "commands.h"

#include "ComPort.h"
#include "displaysettings.h"
#include "inifile.h"
#include "message.h"
#include "senddisplay.h"
#include "settingsfile.h"
#include "unitportdetect.h"

#include <iostream>

namespace rv58::cli {

namespace {

// One transmission through the routine the window uses, with the component set up as the window
// creates it; only Port and Baud change per transmission.
int Transmit(const CliContext& ctx, const std::string& portName, std::uint32_t baud, bool pulseDtr,
             const std::string& message) {
  TComPort comPort;
  comPort.PortNames = ctx.portNames;
  comPort.Port = "COM1";
  comPort.Baud = 2400;
  switch (SendToDisplay(comPort, portName, baud, pulseDtr, message)) {
  case srNOTOPEN:
    std::cerr << kPortWarning << "\n" << comPort.OpenError() << "\n";
    return kExitFailed;
  case srFAILED:
    std::cerr << kSendWarning << "\n";
    return kExitSendFailed;
  case srSENT:
    break;
  }
  return kExitOk;
}

} // namespace

int CmdTest(const CliContext& ctx, const Args& args) {
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
  return Transmit(ctx, port, UploadBaud(old ? 0 : 1), false, std::string(kDisplayTestMessage));
}

int CmdUpload(const CliContext& ctx, const Args& args) {
  std::string file;
  std::string port;
  bool portGiven = false;
  bool pulseDtr = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--port" && i + 1 < args.size()) {
      port = args[++i];
      portGiven = true;
    } else if (args[i] == "--dtr-pulse") {
      pulseDtr = true;
    } else if (file.empty() && !args[i].empty() && args[i].front() != '-') {
      file = args[i];
    } else {
      return UsageError();
    }
  }
  if (file.empty() || (portGiven && port.empty()))
    return UsageError();
  // The window would load the defaults from a file it cannot read or that holds no settings;
  // sending them to a display because of a mistyped name or a wrong file would overwrite its
  // settings, so refuse.
  const SettingsFileStatus status = CheckSettingsFile(file);
  if (status == SettingsFileStatus::Unreadable) {
    std::cerr << "rv58ctl: a f\u00E1jl nem olvashat\u00F3: " << file << "\n";
    return kExitBadFile;
  }
  if (status == SettingsFileStatus::NoSection) {
    std::cerr << "rv58ctl: a f\u00E1jlban nincs \"RV5\" szakasz: " << file << "\n";
    return kExitBadFile;
  }

  // The stored port chooses among the ports of this machine, as at the window's start-up; with
  // --port the stored one does not matter, so the machine is not searched.
  std::vector<std::string> ports;
  if (!portGiven)
    ListPorts(ctx.portNames, ports, false);
  DisplaySettings settings = DisplaySettings::Initial();
  loadfile(settings, TIniFile(file), ports);
  if (!portGiven)
    port = settings.Comport_up();

  const std::string warning = UploadCheck(settings);
  if (!warning.empty()) {
    std::cerr << warning << "\n";
    return kExitRefused;
  }
  return Transmit(ctx, port, UploadBaud(settings.verziogroup()), pulseDtr, ConfigurationMessage(settings));
}

} // namespace rv58::cli
