#pragma once

#include <string>

namespace rv58 {

// Where the program keeps its preferences file and which folder its dialogs start in.
// A build tree or a portable copy keeps "rv58led.ini" beside the executable; an installed
// program (system folder, or a folder the user cannot write) uses the XDG config folder.
struct PreferencesEnvironment {
  std::string executableDir; // folder of the running executable, no trailing slash
  std::string home;          // $HOME
  std::string xdgConfigHome; // $XDG_CONFIG_HOME, empty when unset
};

inline constexpr const char* kPreferencesFileName = "rv58led.ini";

// The environment of this process (executable folder from /proc/self/exe).
PreferencesEnvironment CurrentPreferencesEnvironment();

// The folder of the running executable.
std::string ExecutableDir();

// True for folders below /usr, /bin, /sbin, /lib, /opt or /etc.
bool IsSystemFolder(const std::string& folder);

// Full path of the preferences file. When the XDG location is chosen its folder is created
// (best effort), since writing a profile into a missing folder fails.
std::string PreferencesFilePath(const PreferencesEnvironment& env);

// The folder the open and save dialogs start in when nothing was remembered.
std::string DefaultDialogFolder(const PreferencesEnvironment& env);

} // namespace rv58
