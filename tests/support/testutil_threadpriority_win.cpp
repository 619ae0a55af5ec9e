#include "testutil_threadpriority.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace rv58::test {

int CurrentThreadPriority() {
  return ::GetThreadPriority(::GetCurrentThread());
}

// Any thread may raise itself to this level.
int OneStepAboveNormalWhereAllowed() {
  return THREAD_PRIORITY_ABOVE_NORMAL;
}

} // namespace rv58::test
