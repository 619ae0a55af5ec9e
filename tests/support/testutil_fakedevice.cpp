#include "testutil_fakedevice.h"

#include "testutil_threadpriority.h"

#include <algorithm>

namespace rv58::test {

void TFakeComDevice::Inject(const std::string& bytes) {
  {
    std::lock_guard<std::mutex> g(m_);
    input_ += bytes;
    events_ |= evRXCHAR;
  }
  cv_.notify_all();
}

void TFakeComDevice::SetModemLines(std::uint32_t status) {
  {
    std::lock_guard<std::mutex> g(m_);
    ChangeModemLines(status);
  }
  cv_.notify_all();
}

void TFakeComDevice::ChangeModemLines(std::uint32_t status) {
  const std::uint32_t changed = status ^ modem_;
  modem_ = status;
  if (changed & msCTS_ON)
    events_ |= evCTS;
  if (changed & msDSR_ON)
    events_ |= evDSR;
  if (changed & msRLSD_ON)
    events_ |= evRLSD;
  if (changed & msRING_ON)
    events_ |= evRING;
}

void TFakeComDevice::RaiseLineError() {
  {
    std::lock_guard<std::mutex> g(m_);
    events_ |= evERR;
  }
  cv_.notify_all();
}

void TFakeComDevice::SetOutputStuck(bool stuck) {
  std::lock_guard<std::mutex> g(m_);
  Advance(Clock::now());
  stuck_ = stuck;
}

void TFakeComDevice::Vanish() {
  {
    std::lock_guard<std::mutex> g(m_);
    vanished_ = true;
  }
  cv_.notify_all();
}

void TFakeComDevice::RefuseLineSettings(bool refuse) {
  std::lock_guard<std::mutex> g(m_);
  refuse_ = refuse;
}

bool TFakeComDevice::WaitUntilWaiting(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> l(m_);
  return cv_.wait_for(l, timeout, [&] { return waiting_; });
}

std::vector<TLineSettings> TFakeComDevice::LineSettingsApplied() const {
  std::lock_guard<std::mutex> g(m_);
  return applied_;
}

TLineSettings TFakeComDevice::LineInForce() const {
  std::lock_guard<std::mutex> g(m_);
  return line_;
}

std::vector<std::string> TFakeComDevice::Writes() const {
  std::lock_guard<std::mutex> g(m_);
  return writes_;
}

std::string TFakeComDevice::Sent() const {
  std::lock_guard<std::mutex> g(m_);
  const_cast<TFakeComDevice*>(this)->Advance(Clock::now());
  return sent_;
}

std::vector<std::pair<TModemLine, bool>> TFakeComDevice::ModemLineCalls() const {
  std::lock_guard<std::mutex> g(m_);
  return modemCalls_;
}

int TFakeComDevice::PurgeCount() const {
  std::lock_guard<std::mutex> g(m_);
  return purges_;
}

int TFakeComDevice::DiscardCount() const {
  std::lock_guard<std::mutex> g(m_);
  return discards_;
}

int TFakeComDevice::WaitCount() const {
  std::lock_guard<std::mutex> g(m_);
  return waits_;
}

bool TFakeComDevice::Closed() const {
  std::lock_guard<std::mutex> g(m_);
  return closed_;
}

bool TFakeComDevice::StopRequested() const {
  std::lock_guard<std::mutex> g(m_);
  return stop_;
}

TFakeComDevice::Clock::time_point TFakeComDevice::ClosedAt() const {
  std::lock_guard<std::mutex> g(m_);
  return closedAt_;
}

void TFakeComDevice::Advance(Clock::time_point now) {
  if (stuck_)
    return;
  while (!outQueue_.empty() && outQueue_.front().first <= now) {
    sent_ += outQueue_.front().second;
    outQueue_.pop_front();
  }
}

bool TFakeComDevice::SetLine(const TLineSettings& settings) {
  std::lock_guard<std::mutex> g(m_);
  applied_.push_back(settings);
  if (refuse_ || closed_)
    return false;
  line_ = settings;
  return true;
}

bool TFakeComDevice::SetQueueSizes(std::uint32_t, std::uint32_t) {
  return true;
}

void TFakeComDevice::Purge() {
  std::lock_guard<std::mutex> g(m_);
  ++purges_;
  input_.clear();
  outQueue_.clear();
}

bool TFakeComDevice::SetModemLine(TModemLine line, bool on) {
  std::lock_guard<std::mutex> g(m_);
  if (closed_ || vanished_)
    return false;
  modemCalls_.emplace_back(line, on);
  if (loopBack) {
    const std::uint32_t echo = line == TModemLine::mlDTR ? msDSR_ON : msCTS_ON;
    ChangeModemLines(on ? modem_ | echo : modem_ & ~echo);
  }
  cv_.notify_all();
  return true;
}

long TFakeComDevice::Write(const char* data, std::size_t size) {
  std::lock_guard<std::mutex> g(m_);
  if (closed_ || vanished_)
    return -1;
  size = std::min(size, acceptAtMost);
  writes_.emplace_back(data, size);
  const auto now = Clock::now();
  Advance(now);
  const auto charTime = std::chrono::microseconds(10'000'000 / std::max<std::uint32_t>(line_.Baud, 1));
  auto at = outQueue_.empty() ? now : std::max(now, outQueue_.back().first);
  for (std::size_t i = 0; i < size; ++i) {
    at += pacing ? std::chrono::duration_cast<Clock::duration>(charTime) : Clock::duration::zero();
    outQueue_.emplace_back(at, data[i]);
  }
  Advance(now);
  return static_cast<long>(size);
}

long TFakeComDevice::Read(char* data, std::size_t size) {
  std::lock_guard<std::mutex> g(m_);
  if (closed_ || vanished_)
    return -1;
  const std::size_t n = std::min(size, input_.size());
  std::copy_n(input_.data(), n, data);
  input_.erase(0, n);
  return static_cast<long>(n);
}

bool TFakeComDevice::QueryAndClearErrors(std::uint32_t& queued) {
  std::lock_guard<std::mutex> g(m_);
  queued = 0;
  if (closed_ || vanished_)
    return false;
  queued = static_cast<std::uint32_t>(input_.size());
  return true;
}

std::size_t TFakeComDevice::OutputQueued() {
  std::lock_guard<std::mutex> g(m_);
  Advance(Clock::now());
  return outQueue_.size();
}

void TFakeComDevice::DiscardOutput() {
  std::lock_guard<std::mutex> g(m_);
  ++discards_;
  outQueue_.clear();
}

std::uint32_t TFakeComDevice::ModemStatus() {
  std::lock_guard<std::mutex> g(m_);
  return modem_;
}

TWaitResult TFakeComDevice::WaitForEvents(std::uint32_t& mask) {
  std::unique_lock<std::mutex> l(m_);
  if (waits_ == 0)
    niceInFirstWait_ = CurrentThreadPriority();
  ++waits_;
  waiting_ = true;
  cv_.notify_all();
  // A vanished device is no longer watched: only the stop request ends the wait.
  cv_.wait(l, [&] { return stop_ || (!vanished_ && events_ != 0); });
  waiting_ = false;
  if (stop_)
    return TWaitResult::wrStop;
  mask = events_;
  events_ = 0;
  return TWaitResult::wrEvents;
}

void TFakeComDevice::ResetEvents() {
  std::lock_guard<std::mutex> g(m_);
  events_ &= evRXCHAR;
}

int TFakeComDevice::NiceInFirstWait() const {
  std::lock_guard<std::mutex> g(m_);
  return niceInFirstWait_;
}

void TFakeComDevice::RequestStop() {
  {
    std::lock_guard<std::mutex> g(m_);
    stop_ = true;
  }
  cv_.notify_all();
}

void TFakeComDevice::Close() {
  std::lock_guard<std::mutex> g(m_);
  if (closed_)
    return;
  Advance(Clock::now());
  outQueue_.clear(); // what had not left is lost with the handle
  closed_ = true;
  closedAt_ = Clock::now();
}

} // namespace rv58::test
