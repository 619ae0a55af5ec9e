// The one place the port-name table meets the preferences file.
#include "portnames.h"

#include "inifile.h"
#include "preferences.h"

namespace rv58 {

namespace {

std::string& RememberedIniPath() {
  static std::string path;
  return path;
}

} // namespace

void LoadPortsSection(const std::string& iniPath) {
  RememberedIniPath() = iniPath;
  ReloadPortsSection();
}

void ReloadPortsSection() {
  const std::string& path = RememberedIniPath();
  if (path.empty())
    return;
  SetExplicitPorts(TIniFile(path).ReadSectionValues(kPortsSection));
}

} // namespace rv58
