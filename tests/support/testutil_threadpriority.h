#pragma once
// The scheduling priority of threads as the serial reader thread sets it: on POSIX the thread's
// nice value, on Windows its priority level.

namespace rv58::test {

// The calling thread's priority.
int CurrentThreadPriority();

// The priority the reader thread should wait with: one step above this process's normal one where
// the system allows a thread to raise itself, else the normal one.
int OneStepAboveNormalWhereAllowed();

} // namespace rv58::test
