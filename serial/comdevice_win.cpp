// Windows back-end of the device interface: an overlapped handle opened without sharing, the
// line in the device control block, WaitCommEvent for the reader thread, stopped through an event.
#include "portnames.h"

#include "comdevice_win.h"
#include "widetext_win.h"

#include <atomic>
#include <cwctype>
#include <list>
#include <mutex>
#include <vector>

namespace rv58 {
namespace {

// The event mask of the reader thread: received character, CTS, DSR, RLSD, line error, RING.
constexpr DWORD kEventMask = EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_ERR | EV_RING;
constexpr DWORD kProvisionalQueue = 512;

class TRealWinCommApi : public TWinCommApi {
public:
  HANDLE Open(const std::wstring& path) override {
    return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  }
  BOOL Close(HANDLE h) override { return ::CloseHandle(h); }
  BOOL GetState(HANDLE h, DCB* dcb) override { return ::GetCommState(h, dcb); }
  BOOL SetState(HANDLE h, DCB* dcb) override { return ::SetCommState(h, dcb); }
  BOOL Setup(HANDLE h, DWORD in, DWORD out) override { return ::SetupComm(h, in, out); }
  BOOL SetTimeouts(HANDLE h, COMMTIMEOUTS* t) override { return ::SetCommTimeouts(h, t); }
  BOOL SetMask(HANDLE h, DWORD mask) override { return ::SetCommMask(h, mask); }
  BOOL WaitEvent(HANDLE h, DWORD* mask, OVERLAPPED* ov) override { return ::WaitCommEvent(h, mask, ov); }
  BOOL Result(HANDLE h, OVERLAPPED* ov, DWORD* n, BOOL wait) override {
    return ::GetOverlappedResult(h, ov, n, wait);
  }
  BOOL Purge(HANDLE h, DWORD flags) override { return ::PurgeComm(h, flags); }
  BOOL Escape(HANDLE h, DWORD function) override { return ::EscapeCommFunction(h, function); }
  BOOL ModemStatus(HANDLE h, DWORD* status) override { return ::GetCommModemStatus(h, status); }
  BOOL ClearError(HANDLE h, DWORD* errors, COMSTAT* stat) override {
    return ::ClearCommError(h, errors, stat);
  }
  BOOL Write(HANDLE h, const void* data, DWORD size, DWORD* n, OVERLAPPED* ov) override {
    return ::WriteFile(h, data, size, n, ov);
  }
  BOOL Read(HANDLE h, void* data, DWORD size, DWORD* n, OVERLAPPED* ov) override {
    return ::ReadFile(h, data, size, n, ov);
  }
  BOOL Cancel(HANDLE h, OVERLAPPED* ov) override { return ::CancelIoEx(h, ov); }
};

std::string SystemMessage(DWORD code) {
  switch (code) {
  case ERROR_ACCESS_DENIED: // what a port another program has open reports
  case ERROR_SHARING_VIOLATION:
    return kOpenBusy;
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
    return kOpenMissing;
  default:
    break;
  }
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring w = n != 0 && text != nullptr ? std::wstring(text, n) : std::wstring();
  if (text != nullptr)
    ::LocalFree(text);
  while (!w.empty() && std::iswspace(w.back()))
    w.pop_back();
  return w.empty() ? "error " + std::to_string(code) : Utf8FromWide(w);
}

// An event handle that closes itself.
class TEvent {
public:
  TEvent(bool manualReset, bool signalled) : h_(::CreateEventW(nullptr, manualReset, signalled, nullptr)) {}
  ~TEvent() {
    if (h_ != nullptr)
      ::CloseHandle(h_);
  }
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;
  HANDLE get() const { return h_; }

private:
  HANDLE h_;
};

// A write in flight: its completion record and bytes must outlive it.
struct TPendingWrite {
  OVERLAPPED ov{};
  std::vector<char> bytes;
  TEvent done{true, false};
};

class TWinComDevice : public TComDevice {
public:
  TWinComDevice(std::shared_ptr<TWinCommApi> api, HANDLE h) : api_(std::move(api)), h_(h) {}
  ~TWinComDevice() override { Close(); }

  bool Valid() const {
    return stop_.get() != nullptr && waitDone_.get() != nullptr && readDone_.get() != nullptr;
  }

  bool SetLine(const TLineSettings& s) override {
    if (h_ == INVALID_HANDLE_VALUE)
      return false;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!api_->GetState(h_, &dcb))
      return false;
    // Keep the driver's XON/XOFF limits and special characters; the flags become fBinary alone:
    // no parity check, no flow control, DTR and RTS left to EscapeCommFunction, no abort on error.
    const DCB kept = dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.XonLim = kept.XonLim;
    dcb.XoffLim = kept.XoffLim;
    dcb.XonChar = kept.XonChar;
    dcb.XoffChar = kept.XoffChar;
    dcb.ErrorChar = kept.ErrorChar;
    dcb.EofChar = kept.EofChar;
    dcb.EvtChar = kept.EvtChar;
    dcb.fBinary = TRUE;
    dcb.BaudRate = s.Baud;
    dcb.ByteSize = s.DataBits;
    dcb.Parity = static_cast<BYTE>(s.Parity);
    dcb.StopBits = static_cast<BYTE>(s.StopBits);
    return api_->SetState(h_, &dcb);
  }

  bool SetQueueSizes(std::uint32_t in, std::uint32_t out) override {
    return h_ != INVALID_HANDLE_VALUE && api_->Setup(h_, in, out);
  }

  void Purge() override {
    if (h_ != INVALID_HANDLE_VALUE)
      api_->Purge(h_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  }

  bool SetModemLine(TModemLine line, bool on) override {
    if (h_ == INVALID_HANDLE_VALUE)
      return false;
    const DWORD function = line == TModemLine::mlDTR ? (on ? SETDTR : CLRDTR) : (on ? SETRTS : CLRRTS);
    return api_->Escape(h_, function);
  }

  long Write(const char* data, std::size_t size) override {
    if (h_ == INVALID_HANDLE_VALUE)
      return -1;
    std::lock_guard lock(writesMutex_);
    ReapWrites(false);
    auto& w = writes_.emplace_back();
    w.bytes.assign(data, data + size);
    w.ov.hEvent = w.done.get();
    DWORD n = 0;
    if (api_->Write(h_, w.bytes.data(), static_cast<DWORD>(size), &n, &w.ov)) {
      writes_.pop_back(); // finished at once; a short count tells the caller itself
      return static_cast<long>(n);
    }
    if (::GetLastError() == ERROR_IO_PENDING)
      return static_cast<long>(size); // queued; the driver sends it in the background
    writes_.pop_back();
    return -1;
  }

  long Read(char* data, std::size_t size) override {
    if (h_ == INVALID_HANDLE_VALUE)
      return -1;
    if (size == 0)
      return 0;
    OVERLAPPED ov{};
    ov.hEvent = readDone_.get();
    ::ResetEvent(readDone_.get());
    DWORD n = 0;
    if (api_->Read(h_, data, static_cast<DWORD>(size), &n, &ov))
      return static_cast<long>(n);
    if (::GetLastError() != ERROR_IO_PENDING)
      return -1;
    // The time-outs make a read return with what is queued; it is still waited for, so the bytes
    // are in the buffer before anyone looks at it.
    return api_->Result(h_, &ov, &n, TRUE) ? static_cast<long>(n) : -1;
  }

  bool QueryAndClearErrors(std::uint32_t& queued) override {
    COMSTAT stat{};
    DWORD errors = 0;
    if (h_ == INVALID_HANDLE_VALUE || !api_->ClearError(h_, &errors, &stat))
      return false;
    queued = stat.cbInQue;
    return true;
  }

  std::size_t OutputQueued() override {
    COMSTAT stat{};
    DWORD errors = 0;
    if (h_ == INVALID_HANDLE_VALUE || !api_->ClearError(h_, &errors, &stat))
      return 0;
    return stat.cbOutQue;
  }

  bool OutputLost() override {
    if (h_ == INVALID_HANDLE_VALUE)
      return lostOutput_;
    std::lock_guard lock(writesMutex_);
    ReapWrites(false);
    return lostOutput_;
  }

  void DiscardOutput() override {
    if (h_ != INVALID_HANDLE_VALUE)
      api_->Purge(h_, PURGE_TXABORT | PURGE_TXCLEAR);
  }

  std::uint32_t ModemStatus() override {
    DWORD status = 0;
    if (h_ == INVALID_HANDLE_VALUE || !api_->ModemStatus(h_, &status))
      return 0;
    return status & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);
  }

  TWaitResult WaitForEvents(std::uint32_t& mask) override {
    mask = 0;
    if (::WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0)
      return TWaitResult::wrStop;
    if (rxQueued_) {
      rxQueued_ = false;
      mask = evRXCHAR;
      return TWaitResult::wrEvents;
    }
    DWORD events = 0;
    OVERLAPPED ov{};
    ov.hEvent = waitDone_.get();
    ::ResetEvent(waitDone_.get());
    if (api_->WaitEvent(h_, &events, &ov)) {
      mask = events;
      return TWaitResult::wrEvents;
    }
    if (const DWORD error = ::GetLastError(); error != ERROR_IO_PENDING) {
      // The device has gone or refuses the wait: it would fail again at once, so only the stop
      // request is waited for, and the thread does not spin. Only the codes of a removed device
      // count as a hang-up: a driver that cannot wait for events (Wine on a pseudo-terminal) says
      // something else and keeps its port.
      gone_ = error == ERROR_BAD_COMMAND || error == ERROR_DEVICE_REMOVED || error == ERROR_ACCESS_DENIED;
      ::WaitForSingleObject(stop_.get(), INFINITE);
      return TWaitResult::wrStop;
    }
    const HANDLE objects[2] = {stop_.get(), waitDone_.get()};
    const DWORD r = ::WaitForMultipleObjects(2, objects, FALSE, INFINITE);
    if (r == WAIT_OBJECT_0) {
      // A zero mask completes the outstanding wait; it is then waited for, because it writes into
      // `events` and `ov`, which live on this frame.
      api_->SetMask(h_, 0);
      DWORD n = 0;
      if (!api_->Result(h_, &ov, &n, TRUE)) {
        api_->Cancel(h_, &ov);
        api_->Result(h_, &ov, &n, TRUE);
      }
      return TWaitResult::wrStop;
    }
    DWORD n = 0;
    if (r != WAIT_OBJECT_0 + 1 || !api_->Result(h_, &ov, &n, FALSE))
      return TWaitResult::wrFailed;
    mask = events;
    return TWaitResult::wrEvents;
  }

  void ResetEvents() override {
    if (h_ == INVALID_HANDLE_VALUE)
      return;
    // Setting the mask again forgets the events recorded so far, clearing the errors forgets
    // the line errors; bytes already queued are still announced by the next wait.
    api_->SetMask(h_, kEventMask);
    COMSTAT stat{};
    DWORD errors = 0;
    rxQueued_ = api_->ClearError(h_, &errors, &stat) && stat.cbInQue > 0;
  }

  bool HungUp() const override { return gone_; }

  void RequestStop() override { ::SetEvent(stop_.get()); }

  void Close() override {
    if (h_ == INVALID_HANDLE_VALUE)
      return;
    {
      std::lock_guard lock(writesMutex_);
      ReapWrites(true);
    }
    // The line as this opening found it.
    if (found_.DCBlength != 0)
      api_->SetState(h_, &found_);
    api_->Close(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

  // Device set-up of the opening, in order: provisional line and queues, time-outs, event mask,
  // purge, both lines low.
  void Prepare() {
    found_.DCBlength = sizeof found_;
    if (!api_->GetState(h_, &found_))
      found_.DCBlength = 0;
    SetLine(TLineSettings{9600, 8, EVENPARITY, ONESTOPBIT});
    api_->Setup(h_, kProvisionalQueue, kProvisionalQueue);
    // Reads return at once with what is queued.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    api_->SetTimeouts(h_, &timeouts);
    api_->SetMask(h_, kEventMask);
    Purge();
    SetModemLine(TModemLine::mlDTR, false);
    SetModemLine(TModemLine::mlRTS, false);
  }

private:
  // Forgets finished writes, noting one that failed or sent less than it was given; with `all`,
  // cancels and waits for the rest (the device is closing: the bounded drain has already given
  // them their time, so a cancelled write is lost output too).
  void ReapWrites(bool all) {
    for (auto it = writes_.begin(); it != writes_.end();) {
      DWORD n = 0;
      if (all) {
        if (!api_->Result(h_, &it->ov, &n, FALSE)) {
          if (::GetLastError() == ERROR_IO_INCOMPLETE) {
            api_->Cancel(h_, &it->ov);
            api_->Result(h_, &it->ov, &n, TRUE);
          }
          lostOutput_ = true;
        } else if (n < it->bytes.size()) {
          lostOutput_ = true;
        }
        it = writes_.erase(it);
      } else if (::WaitForSingleObject(it->done.get(), 0) == WAIT_OBJECT_0) {
        if (!api_->Result(h_, &it->ov, &n, FALSE) || n < it->bytes.size())
          lostOutput_ = true;
        it = writes_.erase(it);
      } else {
        ++it;
      }
    }
  }

  std::shared_ptr<TWinCommApi> api_;
  HANDLE h_;
  TEvent stop_{true, false}; // made here, so a stop request before the first wait is never lost
  TEvent waitDone_{true, true};
  TEvent readDone_{true, false};
  std::mutex writesMutex_;
  std::list<TPendingWrite> writes_;
  bool lostOutput_ = false; // a write finished in the background failed or was cut short
  bool rxQueued_ = false;   // bytes were queued when the events were reset (read by the first wait)
  DCB found_{};             // the line at the opening (DCBlength 0: unknown)
  std::atomic<bool> gone_{false};
};

} // namespace

void ShieldCallingThreadFromSignals() {
  // The C library's console signals are delivered on a thread of their own.
}

bool SetCallingThreadPriority(TThreadPriority priority) {
  const int level =
      priority == TThreadPriority::tpAboveNormal ? THREAD_PRIORITY_ABOVE_NORMAL : THREAD_PRIORITY_LOWEST;
  return ::SetThreadPriority(::GetCurrentThread(), level) != 0;
}

std::shared_ptr<TWinCommApi> Win32CommApi() {
  static const auto api = std::make_shared<TRealWinCommApi>();
  return api;
}

std::wstring WinDevicePath(const std::string& path) {
  const std::wstring w = WideFromUtf8(path);
  const bool portName = PortNumber(path).has_value();
  // Only COM1 to COM9 are also plain DOS names; every number opens through the device namespace.
  return portName ? L"\\\\.\\" + w : w;
}

TComDevicePtr OpenWinComDevice(const std::string& path, std::string& error,
                               std::shared_ptr<TWinCommApi> api) {
  if (path.empty()) {
    error = kOpenNoPort;
    return nullptr;
  }
  const HANDLE h = api->Open(WinDevicePath(path));
  if (h == INVALID_HANDLE_VALUE) {
    error = SystemMessage(::GetLastError());
    return nullptr;
  }
  auto device = std::make_shared<TWinComDevice>(api, h);
  if (!device->Valid()) {
    error = SystemMessage(::GetLastError());
    return nullptr; // the destructor closes the handle
  }
  device->Prepare();
  return device;
}

TComDevicePtr OpenComDevice(const std::string& path, std::string& error) {
  return OpenWinComDevice(path, error, Win32CommApi());
}

} // namespace rv58
