#pragma once

// The registry side of the association on Windows, open for tests: the four keys of the ".rv5"
// file type below a root of the caller's choice (HKEY_CURRENT_USER in the program). No Qt.

#include <string>
#include <windows.h>

namespace rv58 {

// Which keys were written; each is tried whatever happened to the others.
struct RegistryAssociation {
  bool extension = false;   // Software\Classes\.rv5 = "RV58File"
  bool fileType = false;    // Software\Classes\RV58File = "RV58 Settings file"
  bool icon = false;        // ...\RV58File\DefaultIcon = the executable
  bool openCommand = false; // ...\RV58File\shell\open\command = the executable, then "%1"
  bool Complete() const { return extension && fileType && icon && openCommand; }
};

// The icon location: the executable's path. The shell reads an icon index after the last comma,
// so a path that holds a comma gets the index written out.
std::wstring IconValue(const std::wstring& executable);

// The open command: the executable's path in quotes (unquoted, a path with a space would start
// another program or none), a space and "%1" in quotes.
std::wstring OpenCommandValue(const std::wstring& executable);

// Writes the four keys, as string default values, below `root`. Without an executable path the
// icon and the command are not written.
RegistryAssociation WriteRegistryAssociation(HKEY root, const std::wstring& executable);

} // namespace rv58
