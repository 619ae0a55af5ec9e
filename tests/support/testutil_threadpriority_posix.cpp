#include "testutil_threadpriority.h"

#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace rv58::test {

int CurrentThreadPriority() {
  return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
}

int OneStepAboveNormalWhereAllowed() {
  const int normal = ::getpriority(PRIO_PROCESS, 0);
  bool allowed = false;
  // Tried on a thread of its own, so the test's thread keeps its priority.
  std::thread([&] {
    allowed = ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), normal - 1) == 0;
  }).join();
  return allowed ? normal - 1 : normal;
}

} // namespace rv58::test
