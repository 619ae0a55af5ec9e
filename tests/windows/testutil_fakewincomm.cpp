#include "testutil_fakewincomm.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>

namespace rv58::test {
namespace {

constexpr DWORD kStatusCancelled = 0xC0000120;
constexpr DWORD kStatusIoDeviceError = 0xC0000185;
HANDLE const kHandle = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(0x5A0));

std::string Hex(const char* what, DWORD value) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s 0x%lx", what, static_cast<unsigned long>(value));
  return buf;
}

void Complete(OVERLAPPED* ov, DWORD status, DWORD count) {
  ov->Internal = status;
  ov->InternalHigh = count;
  if (ov->hEvent != nullptr)
    ::SetEvent(ov->hEvent);
}

} // namespace

void TFakeWinComm::Raise(DWORD events, const std::string& bytes, DWORD lineErrors) {
  std::lock_guard lock(m_);
  inQueue_ += bytes;
  errors_ |= lineErrors;
  const DWORD reported = events & mask_;
  if (reported == 0)
    return;
  if (waitOv_ != nullptr)
    CompleteWaitLocked(reported, 0);
  else
    pendingEvents_ |= reported;
}

void TFakeWinComm::SetModemLines(DWORD status) {
  std::lock_guard lock(m_);
  modem_ = status;
}

void TFakeWinComm::HoldWrites(bool hold) {
  std::lock_guard lock(m_);
  holdWrites_ = hold;
}

void TFakeWinComm::CompleteWrites(DWORD atMost, bool fail) {
  std::lock_guard lock(m_);
  for (auto& [ov, bytes] : inFlight_) {
    const DWORD n = fail ? 0 : std::min<DWORD>(atMost, static_cast<DWORD>(bytes.size()));
    sent += bytes.substr(0, n);
    Complete(ov, fail ? kStatusIoDeviceError : 0, n);
  }
  inFlight_.clear();
  cv_.notify_all();
}

void TFakeWinComm::Vanish() {
  std::lock_guard lock(m_);
  vanished_ = true;
}

bool TFakeWinComm::WaitUntilWaiting(DWORD timeoutMs) {
  std::unique_lock lock(m_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return waitOv_ != nullptr; });
}

void TFakeWinComm::CompleteWaitLocked(DWORD events, DWORD status) {
  *waitMask_ = events;
  Complete(waitOv_, status, 0);
  waitOv_ = nullptr;
  waitMask_ = nullptr;
  cv_.notify_all();
}

BOOL TFakeWinComm::Gone() {
  ::SetLastError(ERROR_BAD_COMMAND);
  return FALSE;
}

HANDLE TFakeWinComm::Open(const std::wstring& path) {
  std::lock_guard lock(m_);
  openedPath = path;
  if (openError_ != 0) {
    ::SetLastError(openError_);
    return INVALID_HANDLE_VALUE;
  }
  dcb_.DCBlength = sizeof dcb_;
  dcb_.BaudRate = 115200;
  dcb_.fBinary = TRUE;
  dcb_.fOutxCtsFlow = TRUE;
  dcb_.fDtrControl = DTR_CONTROL_ENABLE;
  dcb_.XonChar = 0x11;
  dcb_.XoffChar = 0x13;
  dcb_.XonLim = 2048;
  return kHandle;
}

BOOL TFakeWinComm::Close(HANDLE) {
  std::lock_guard lock(m_);
  calls.push_back("close");
  closed = true;
  return TRUE;
}

BOOL TFakeWinComm::GetState(HANDLE, DCB* dcb) {
  std::lock_guard lock(m_);
  if (vanished_)
    return Gone();
  *dcb = dcb_;
  return TRUE;
}

BOOL TFakeWinComm::SetState(HANDLE, DCB* dcb) {
  std::lock_guard lock(m_);
  if (vanished_)
    return Gone();
  if (dcb->BaudRate == refusedBaud_) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  dcb_ = *dcb;
  states.push_back(*dcb);
  return TRUE;
}

BOOL TFakeWinComm::Setup(HANDLE, DWORD in, DWORD out) {
  std::lock_guard lock(m_);
  calls.push_back(Hex("setup", in) + Hex("", out));
  return vanished_ ? Gone() : TRUE;
}

BOOL TFakeWinComm::SetTimeouts(HANDLE, COMMTIMEOUTS* t) {
  std::lock_guard lock(m_);
  timeouts = *t;
  return vanished_ ? Gone() : TRUE;
}

BOOL TFakeWinComm::SetMask(HANDLE, DWORD mask) {
  std::lock_guard lock(m_);
  calls.push_back(Hex("mask", mask));
  mask_ = mask;
  pendingEvents_ = 0; // a new mask starts a new record of events
  // As on Windows: a new mask completes the outstanding wait, with no events.
  if (waitOv_ != nullptr)
    CompleteWaitLocked(0, 0);
  return vanished_ ? Gone() : TRUE;
}

BOOL TFakeWinComm::WaitEvent(HANDLE, DWORD* mask, OVERLAPPED* ov) {
  std::lock_guard lock(m_);
  ++waitCalls;
  if (vanished_)
    return Gone();
  if (waitOv_ != nullptr) {
    ::SetLastError(ERROR_INVALID_PARAMETER); // one wait at a time, as on Windows
    return FALSE;
  }
  if (pendingEvents_ != 0) {
    *mask = pendingEvents_;
    pendingEvents_ = 0;
    return TRUE;
  }
  waitMask_ = mask;
  waitOv_ = ov;
  ov->Internal = STATUS_PENDING;
  cv_.notify_all();
  ::SetLastError(ERROR_IO_PENDING);
  return FALSE;
}

BOOL TFakeWinComm::Result(HANDLE, OVERLAPPED* ov, DWORD* count, BOOL wait) {
  std::unique_lock lock(m_);
  if (wait)
    cv_.wait(lock, [&] { return ov->Internal != STATUS_PENDING; });
  if (ov->Internal == STATUS_PENDING) {
    ::SetLastError(ERROR_IO_INCOMPLETE);
    return FALSE;
  }
  *count = static_cast<DWORD>(ov->InternalHigh);
  if (ov->Internal != 0) {
    ::SetLastError(ERROR_OPERATION_ABORTED);
    return FALSE;
  }
  return TRUE;
}

BOOL TFakeWinComm::Purge(HANDLE, DWORD flags) {
  std::lock_guard lock(m_);
  calls.push_back(Hex("purge", flags));
  if (flags & PURGE_RXCLEAR)
    inQueue_.clear();
  if (flags & PURGE_TXABORT) {
    for (auto& w : inFlight_)
      Complete(w.first, kStatusCancelled, 0);
    inFlight_.clear();
    cv_.notify_all();
  }
  return vanished_ ? Gone() : TRUE;
}

BOOL TFakeWinComm::Escape(HANDLE, DWORD function) {
  std::lock_guard lock(m_);
  calls.push_back(Hex("escape", function));
  return vanished_ ? Gone() : TRUE;
}

BOOL TFakeWinComm::ModemStatus(HANDLE, DWORD* status) {
  std::lock_guard lock(m_);
  if (vanished_)
    return Gone();
  *status = modem_;
  return TRUE;
}

BOOL TFakeWinComm::ClearError(HANDLE, DWORD* errors, COMSTAT* stat) {
  std::lock_guard lock(m_);
  if (vanished_)
    return Gone();
  *errors = errors_;
  errors_ = 0;
  *stat = COMSTAT{};
  stat->cbInQue = static_cast<DWORD>(inQueue_.size());
  DWORD out = 0;
  for (const auto& w : inFlight_)
    out += static_cast<DWORD>(w.second.size());
  stat->cbOutQue = out;
  return TRUE;
}

BOOL TFakeWinComm::Write(HANDLE, const void* data, DWORD size, DWORD* written, OVERLAPPED* ov) {
  std::lock_guard lock(m_);
  if (vanished_)
    return Gone();
  const std::string bytes(static_cast<const char*>(data), size);
  if (holdWrites_) {
    ov->Internal = STATUS_PENDING;
    inFlight_.emplace_back(ov, bytes);
    pendingWrites = static_cast<int>(inFlight_.size());
    ::SetLastError(ERROR_IO_PENDING);
    return FALSE;
  }
  sent += bytes;
  *written = size;
  Complete(ov, 0, size);
  return TRUE;
}

BOOL TFakeWinComm::Read(HANDLE, void* data, DWORD size, DWORD* read, OVERLAPPED* ov) {
  std::lock_guard lock(m_);
  if (vanished_)
    return Gone();
  const DWORD n = std::min<DWORD>(size, static_cast<DWORD>(inQueue_.size()));
  inQueue_.copy(static_cast<char*>(data), n);
  inQueue_.erase(0, n);
  *read = n;
  Complete(ov, 0, n);
  return TRUE;
}

BOOL TFakeWinComm::Cancel(HANDLE, OVERLAPPED* ov) {
  std::lock_guard lock(m_);
  calls.push_back("cancel");
  if (ov == waitOv_ && waitOv_ != nullptr) {
    CompleteWaitLocked(0, kStatusCancelled);
    return TRUE;
  }
  for (auto it = inFlight_.begin(); it != inFlight_.end(); ++it) {
    if (it->first == ov) {
      Complete(ov, kStatusCancelled, 0);
      inFlight_.erase(it);
      cv_.notify_all();
      return TRUE;
    }
  }
  return FALSE;
}

} // namespace rv58::test
