#include "handoff.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

namespace rv58 {

namespace {

// One queued call. The worker waits on the request itself, so it never needs the queue again
// once its call has run.
struct TRequest {
  std::function<void()> call;
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::exception_ptr error;
};

} // namespace

struct THandOff::Impl {
  std::mutex m;
  std::condition_variable cv; // queue changed or Notify
  std::deque<std::shared_ptr<TRequest>> queue;
  std::function<void()> wakeUp;
  std::atomic<std::uint64_t> served{0}; // read without the lock, also from inside ServeUntil's check

  // Runs one request outside the lock; returns false when the queue was empty.
  bool RunOne(std::unique_lock<std::mutex>& lock) {
    if (queue.empty())
      return false;
    auto request = std::move(queue.front());
    queue.pop_front();
    ++served;
    lock.unlock();
    try {
      request->call();
    } catch (...) {
      request->error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> g(request->m);
      request->done = true;
    }
    request->cv.notify_all();
    lock.lock();
    return true;
  }
};

THandOff::THandOff() : impl_(std::make_shared<Impl>()) {}

void THandOff::RunOnMain(std::function<void()> call) const {
  auto request = std::make_shared<TRequest>();
  request->call = std::move(call);
  std::function<void()> wakeUp;
  {
    std::lock_guard<std::mutex> g(impl_->m);
    impl_->queue.push_back(request);
    wakeUp = impl_->wakeUp;
  }
  impl_->cv.notify_all();
  if (wakeUp)
    wakeUp();
  std::unique_lock<std::mutex> l(request->m);
  request->cv.wait(l, [&] { return request->done; });
  if (request->error)
    std::rethrow_exception(request->error);
}

void THandOff::SetWakeUp(std::function<void()> wakeUp) const {
  std::lock_guard<std::mutex> g(impl_->m);
  impl_->wakeUp = std::move(wakeUp);
}

std::size_t THandOff::Serve() const {
  std::size_t count = 0;
  std::unique_lock<std::mutex> l(impl_->m);
  while (impl_->RunOne(l))
    ++count;
  return count;
}

bool THandOff::ServeUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) const {
  using Clock = std::chrono::steady_clock;
  const bool forever = timeout == std::chrono::milliseconds::max();
  const auto deadline = forever ? Clock::time_point::max() : Clock::now() + timeout;
  std::unique_lock<std::mutex> l(impl_->m);
  for (;;) {
    if (done())
      return true;
    if (impl_->RunOne(l))
      continue;
    if (forever) {
      impl_->cv.wait(l);
    } else if (impl_->cv.wait_until(l, deadline) == std::cv_status::timeout) {
      if (impl_->RunOne(l))
        continue;
      return done();
    }
  }
}

void THandOff::Notify() const {
  { std::lock_guard<std::mutex> g(impl_->m); }
  impl_->cv.notify_all();
}

std::uint64_t THandOff::Served() const {
  return impl_->served.load();
}

THandOff DefaultHandOff() {
  static const THandOff instance;
  return instance;
}

} // namespace rv58
