#include "commands.h"

#include "displaysettings.h"
#include "inifile.h"
#include "message.h"
#include "settingsfile.h"

#include <cstdio>
#include <iostream>

namespace rv58::cli {

namespace {

bool LooksLikeOption(const std::string& arg) {
  return arg.size() > 1 && arg.front() == '-';
}

} // namespace

int CmdMessage(const CliContext&, const Args& args) {
  if (args.size() > 1 || (args.size() == 1 && (args[0].empty() || LooksLikeOption(args[0]))))
    return UsageError();

  DisplaySettings settings = DisplaySettings::Defaults();
  if (args.size() == 1) {
    // A file that is missing or is no settings file gives the defaults, as the window's loading
    // does; a typo should not pass unnoticed, so say so.
    const SettingsFileStatus status = CheckSettingsFile(args[0]);
    if (status == SettingsFileStatus::Unreadable)
      std::cerr << "rv58ctl: a f\u00E1jl nem olvashat\u00F3, az alapbe\u00E1ll\u00EDt\u00E1sok "
                   "\u00E9rv\u00E9nyesek: "
                << args[0] << "\n";
    else if (status == SettingsFileStatus::NoSection)
      std::cerr << "rv58ctl: a f\u00E1jlban nincs \"RV5\" szakasz, az alapbe\u00E1ll\u00EDt\u00E1sok "
                   "\u00E9rv\u00E9nyesek: "
                << args[0] << "\n";
    const TIniFile file(args[0]);
    loadfile(settings, file, {});
  }

  const std::string warning = UploadCheck(settings);
  if (!warning.empty()) {
    std::cerr << warning << "\n";
    return kExitRefused;
  }
  const std::string message = ConfigurationMessage(settings) + "\n";
  std::fwrite(message.data(), 1, message.size(), stdout);
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
}

int CmdDefaults(const CliContext&, const Args& args) {
  if (args.size() != 1 || args[0].empty() || LooksLikeOption(args[0]))
    return UsageError();

  DisplaySettings settings = DisplaySettings::Defaults();
  settings.SetComport_up(std::string(kDefaultPortName));
  TIniFile file(args[0]);
  if (!savefile(settings, file)) {
    std::cerr << "rv58ctl: a f\u00E1jl nem \u00EDrhat\u00F3: " << args[0] << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

} // namespace rv58::cli
