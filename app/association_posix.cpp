#include "association.h"

#include "fileassoc.h"
#include "fileio.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace rv58 {

AssociationEnvironment CurrentAssociationEnvironment() {
  AssociationEnvironment env;
  const auto get = [](const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
  };
  env.home = get("HOME");
  if (env.home.empty()) {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
      env.home = pw->pw_dir;
  }
  env.xdgDataHome = get("XDG_DATA_HOME");
  env.xdgConfigHome = get("XDG_CONFIG_HOME");
  env.currentDesktop = get("XDG_CURRENT_DESKTOP");
  env.path = get("PATH");
  env.executable = fileio::ExecutablePath();
  return env;
}

bool AssociateFileType() {
  const AssociationResult r = AssociateFileType(CurrentAssociationEnvironment());
  return r.mimePackage && r.desktopEntry && r.appIcon && r.mimeIcon && r.defaults;
}

} // namespace rv58
