#include "portdetails.h"

namespace rv58 {

TPortDetailsSource MachinePortDetails(const std::string& iniPath) {
  return [iniPath] {
    const TPortNames names = LoadPortNames(iniPath);
    return CollectPortDetails(names.system, names.explicitPorts, CurrentPortUser());
  };
}

} // namespace rv58
