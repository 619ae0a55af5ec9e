#pragma once
// A pseudo-terminal for the benchmarks: the master end for the benchmark, the slave's path for
// the port under test.
#include <string>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

struct TPty {
  TPty() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    grantpt(master);
    unlockpt(master);
    char name[128] = {};
    ptsname_r(master, name, sizeof name);
    slave = name;
  }
  ~TPty() { close(master); }
  int master;
  std::string slave;
};
