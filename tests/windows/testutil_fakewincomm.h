#pragma once
// A fake serial device behind the Win32 calls of the Windows back-end: waits for communication
// events stay outstanding until the test raises events, as on a real port, and every call is
// recorded. Wine cannot show these (no received-character events on a pty, no modem lines).

#include "comdevice_win.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace rv58::test {

class TFakeWinComm : public TWinCommApi {
public:
  // --- the far end and the test ---
  void FailOpen(DWORD error) { openError_ = error; }
  void RefuseBaud(DWORD baud) { refusedBaud_ = baud; }
  // Bytes arrive and the given events (EV_* bits) are reported.
  void Raise(DWORD events, const std::string& bytes = {}, DWORD lineErrors = 0);
  void SetModemLines(DWORD status);
  // Writes stay in flight until CompleteWrites (a far end that does not take bytes).
  void HoldWrites(bool hold);
  // Finishes the writes in flight, each sending at most `atMost` of its bytes, or failing.
  void CompleteWrites(DWORD atMost = MAXDWORD, bool fail = false);
  // The device disappears: every later call fails.
  void Vanish();
  bool WaitUntilWaiting(DWORD timeoutMs = 10000);

  // --- what happened ---
  std::wstring openedPath;
  std::vector<std::string> calls; // "mask 0x1b9", "purge 0xf", "escape 6" ... in call order
  std::vector<DCB> states;        // every DCB written
  COMMTIMEOUTS timeouts{};
  std::string sent;
  int waitCalls = 0;
  int pendingWrites = 0;
  bool closed = false;

  // --- the calls ---
  HANDLE Open(const std::wstring& path) override;
  BOOL Close(HANDLE h) override;
  BOOL GetState(HANDLE h, DCB* dcb) override;
  BOOL SetState(HANDLE h, DCB* dcb) override;
  BOOL Setup(HANDLE h, DWORD in, DWORD out) override;
  BOOL SetTimeouts(HANDLE h, COMMTIMEOUTS* t) override;
  BOOL SetMask(HANDLE h, DWORD mask) override;
  BOOL WaitEvent(HANDLE h, DWORD* mask, OVERLAPPED* ov) override;
  BOOL Result(HANDLE h, OVERLAPPED* ov, DWORD* count, BOOL wait) override;
  BOOL Purge(HANDLE h, DWORD flags) override;
  BOOL Escape(HANDLE h, DWORD function) override;
  BOOL ModemStatus(HANDLE h, DWORD* status) override;
  BOOL ClearError(HANDLE h, DWORD* errors, COMSTAT* stat) override;
  BOOL Write(HANDLE h, const void* data, DWORD size, DWORD* written, OVERLAPPED* ov) override;
  BOOL Read(HANDLE h, void* data, DWORD size, DWORD* read, OVERLAPPED* ov) override;
  BOOL Cancel(HANDLE h, OVERLAPPED* ov) override;

private:
  BOOL Gone();
  void CompleteWaitLocked(DWORD events, DWORD status);

  mutable std::mutex m_;
  std::condition_variable cv_;
  DWORD openError_ = 0;
  DWORD refusedBaud_ = 0;
  DCB dcb_{};
  DWORD mask_ = 0;
  DWORD pendingEvents_ = 0;
  DWORD modem_ = 0;
  DWORD errors_ = 0;
  std::string inQueue_;
  bool vanished_ = false;
  bool holdWrites_ = false;
  DWORD* waitMask_ = nullptr;
  OVERLAPPED* waitOv_ = nullptr;
  std::vector<std::pair<OVERLAPPED*, std::string>> inFlight_;
};

} // namespace rv58::test
