// The one place the port-name table meets the preferences file.
#include "portnames.h"

#include "inifile.h"
#include "preferences.h"

namespace rv58 {

TPortNames LoadPortNames(const std::string& iniPath) {
  TPortNames names;
  if (!iniPath.empty())
    names.explicitPorts = ParseExplicitPorts(TIniFile(iniPath).ReadSectionValues(kPortsSection));
  return names;
}

} // namespace rv58
