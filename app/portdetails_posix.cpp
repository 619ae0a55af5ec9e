#include "portdetails.h"

namespace rv58 {

TPortDetailsSource MachinePortDetails() {
  return [] {
    ReloadPortsSection();
    return CollectPortDetails(ThisPortSystem(), ExplicitPorts(), CurrentPortUser());
  };
}

} // namespace rv58
