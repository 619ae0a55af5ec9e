// Writes the files of one session the way the program does: a settings file from the settings
// of another, and the preferences written over an existing file (window position, last folder,
// the settings of the last upload). The Windows build's files are compared byte for byte with
// the Linux build's. Usage: rv58_filewriter SETTINGS.rv5 FOLDER (FOLDER holds rv58led.ini).
#include "displaysettings.h"
#include "inifile.h"
#include "preferences.h"
#include "settingsfile.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: rv58_filewriter SETTINGS.rv5 FOLDER\n");
    return 1;
  }
  const std::string folder = argv[2];
  rv58::DisplaySettings settings;
  rv58::loadfile(settings, rv58::TIniFile(argv[1]), {"COM3", "COM7"});
  rv58::TIniFile saved(folder + "/saved.rv5");
  rv58::TIniFile prefs(folder + "/rv58led.ini");
  const bool ok = rv58::savefile(settings, saved) && rv58::WriteFormPos(prefs, 640, 480, 10, 20) &&
                  prefs.WriteString(rv58::kOptSection, rv58::kLastSaveDirKey, folder + "/") &&
                  rv58::savefile(settings, prefs, rv58::kSettingsSection);
  return ok ? 0 : 2;
}
