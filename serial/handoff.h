#pragma once
// Synchronous hand-off from a worker thread to the main thread, without any toolkit. A worker
// queues a call and blocks until the main thread has run it; the main thread serves the queue
// from its event loop (the program wires the wake-up to a queued call into Qt), by hand (tests,
// rv58ctl), or while it waits for a worker to end.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace rv58 {

class THandOff {
public:
  THandOff();

  // Worker thread: runs `call` on the main thread and returns when it has returned there. An
  // exception thrown by the call is re-thrown here, in the worker.
  void RunOnMain(std::function<void()> call) const;

  // Called (on the worker thread) each time a call has been queued, so that the program can wake
  // its main thread; it must not block. Set it before any worker starts.
  void SetWakeUp(std::function<void()> wakeUp) const;

  // Main thread: runs every call queued so far (and those queued meanwhile). Returns how many ran.
  std::size_t Serve() const;

  // Main thread: serves calls until `done` returns true or the time-out passes; returns `done`'s
  // last answer. `done` is checked with the queue locked (so a worker that changes what it looks
  // at and then calls Notify can never be missed); it must not call RunOnMain, Serve or Notify.
  bool ServeUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::milliseconds::max()) const;

  // Any thread: wakes a main thread that waits in ServeUntil so that it checks `done` again.
  void Notify() const;

  // How many calls have run since construction (may be called from `done`).
  std::uint64_t Served() const;

private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

// The program's one hand-off, served by its event loop.
THandOff DefaultHandOff();

} // namespace rv58
