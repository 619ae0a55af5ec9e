#pragma once

// Registers ".rv5" settings files with this program for the current user, the freedesktop way:
// a MIME package, a desktop entry, icons and the default-application choice. Everything is
// written below the user's XDG data and config folders; nothing outside them is touched.
// The window reaches it through association.h (association_posix.cpp); the files are written
// through fileio.h, the desktop's refresh tools run through toolrunner.h, and mimeapps.list is
// edited with keyfile.h.

#include "association.h"

#include <chrono>
#include <string>
#include <string_view>

namespace rv58 {

inline constexpr const char* kSettingsMimeType = "application/x-rv58-settings";
inline constexpr const char* kSettingsMimeComment = "RV58 Settings file";
inline constexpr const char* kDesktopFileId = "rv58led.desktop";
inline constexpr const char* kMimePackageFileName = "rv58led-settings.xml";
inline constexpr const char* kAppIconName = "rv58led";
inline constexpr const char* kMimeIconName = "application-x-rv58-settings";

// What the association depends on, so that tests can point it at a temporary home.
struct AssociationEnvironment {
  std::string home;           // $HOME
  std::string xdgDataHome;    // $XDG_DATA_HOME as set (empty, or relative: the default is used)
  std::string xdgConfigHome;  // $XDG_CONFIG_HOME as set (likewise)
  std::string currentDesktop; // $XDG_CURRENT_DESKTOP, colon-separated names
  std::string path;           // $PATH, where the refresh tools are looked for
  std::string executable;     // full path of the running executable
  std::chrono::milliseconds toolTimeout{15000}; // a refresh tool that takes longer is killed
};

// The environment of this process (association_posix.cpp).
AssociationEnvironment CurrentAssociationEnvironment();

// The folders actually used: the variable when it is set and absolute, otherwise the default.
std::string DataHome(const AssociationEnvironment& env);
std::string ConfigHome(const AssociationEnvironment& env);

// Which steps succeeded. The user is never told; tests and callers that care may look.
struct AssociationResult {
  bool mimePackage = false;
  bool desktopEntry = false;
  bool appIcon = false;
  bool mimeIcon = false;
  bool defaults = false;
  bool mimeDatabaseRefreshed = false;    // false also when the tool is not installed
  bool desktopDatabaseRefreshed = false; // likewise
};

// Every step runs whatever happened to the others, repeats harmlessly and fails silently.
AssociationResult AssociateFileType(const AssociationEnvironment& env);

// The texts of the files (also installed system-wide by the package, byte for byte the same
// apart from the desktop entry's Exec line).
std::string MimePackageXml();
// `execProgram` is the Exec line's program part exactly as it should stand ("rv58led", or a
// quoted full path); " %f" follows it.
std::string DesktopEntryText(std::string_view execProgram);
// The program's icon (also used for the settings file type): the packaging's icon file, built in.
std::string_view AppIconSvg();

// A path as an Exec program: double-quoted with the desktop-entry escapes. Empty when the path
// cannot be written into an Exec line (control characters, not absolute).
std::string QuoteExecProgram(std::string_view path);

// mimeapps.list with `desktopId` as the default application of `mimeType`, in both
// "[Default Applications]" and "[Added Associations]". Every other line stays as it was.
std::string UpdateMimeAppsList(std::string_view contents, std::string_view mimeType,
                               std::string_view desktopId);

// A desktop-specific mimeapps.list (e.g. gnome-mimeapps.list) only has an existing default for
// `mimeType` in "[Default Applications]" replaced, since it would override the plain file.
std::string UpdateDesktopMimeAppsList(std::string_view contents, std::string_view mimeType,
                                      std::string_view desktopId);

} // namespace rv58
