#pragma once
// The Win32 calls under the Windows back-end of the device interface, one virtual per call, so
// that the back-end's event loop runs against a fake device in tests: Wine cannot show it
// (WaitCommEvent reports no received character on a pseudo-terminal, and Wine has no modem lines).
// Include this after the project's other headers: <windows.h> defines names as macros.

#include "comdevice.h"

#include <memory>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace rv58 {

class TWinCommApi {
public:
  virtual ~TWinCommApi() = default;
  // CreateFileW for reading and writing, no sharing, existing device only, overlapped.
  virtual HANDLE Open(const std::wstring& path) = 0;
  virtual BOOL Close(HANDLE h) = 0;
  virtual BOOL GetState(HANDLE h, DCB* dcb) = 0;
  virtual BOOL SetState(HANDLE h, DCB* dcb) = 0;
  virtual BOOL Setup(HANDLE h, DWORD in, DWORD out) = 0;
  virtual BOOL SetTimeouts(HANDLE h, COMMTIMEOUTS* timeouts) = 0;
  virtual BOOL SetMask(HANDLE h, DWORD mask) = 0;
  virtual BOOL WaitEvent(HANDLE h, DWORD* mask, OVERLAPPED* ov) = 0;
  virtual BOOL Result(HANDLE h, OVERLAPPED* ov, DWORD* count, BOOL wait) = 0;
  virtual BOOL Purge(HANDLE h, DWORD flags) = 0;
  virtual BOOL Escape(HANDLE h, DWORD function) = 0;
  virtual BOOL ModemStatus(HANDLE h, DWORD* status) = 0;
  virtual BOOL ClearError(HANDLE h, DWORD* errors, COMSTAT* stat) = 0;
  virtual BOOL Write(HANDLE h, const void* data, DWORD size, DWORD* written, OVERLAPPED* ov) = 0;
  virtual BOOL Read(HANDLE h, void* data, DWORD size, DWORD* read, OVERLAPPED* ov) = 0;
  virtual BOOL Cancel(HANDLE h, OVERLAPPED* ov) = 0;
};

// The real calls into kernel32.
std::shared_ptr<TWinCommApi> Win32CommApi();

// The Windows back-end on the given calls: what OpenComDevice does with Win32CommApi().
TComDevicePtr OpenWinComDevice(const std::string& path, std::string& error, std::shared_ptr<TWinCommApi> api);

// The path CreateFileW is given: a port name ("COM12", any letter case) gets the "\\.\" prefix,
// which every number needs above 9; anything else is used unchanged. UTF-8 in, UTF-16 out.
std::wstring WinDevicePath(const std::string& path);

} // namespace rv58
