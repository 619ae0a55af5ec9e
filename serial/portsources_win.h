#pragma once
// Port detection's three sources on Windows, in their order of preference: the device-installation
// class of ports (setupapi.dll, loaded by name), the serial driver's enumeration in the registry,
// and the print spooler's port list. Each reads through what it is given, so tests hand it a fake
// library, a registry folder of their own and a fake spooler.
// Include this after the project's other headers: <windows.h> defines names as macros.

#include <functional>
#include <string>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <setupapi.h>

namespace rv58 {

// The entry points of setupapi.dll that the class source needs.
struct TSetupApi {
  HDEVINFO(WINAPI* GetClassDevs)(const GUID*, PCWSTR, HWND, DWORD) = nullptr;
  BOOL(WINAPI* EnumDeviceInfo)(HDEVINFO, DWORD, PSP_DEVINFO_DATA) = nullptr;
  BOOL(WINAPI* GetDeviceInstanceId)(HDEVINFO, PSP_DEVINFO_DATA, PWSTR, DWORD, PDWORD) = nullptr;
  BOOL(WINAPI* GetDeviceRegistryProperty)
  (HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE, DWORD, PDWORD) = nullptr;
  HKEY(WINAPI* OpenDevRegKey)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, DWORD, DWORD, REGSAM) = nullptr;
  BOOL(WINAPI* DestroyDeviceInfoList)(HDEVINFO) = nullptr;
};

// setupapi.dll with its entry points, loaded once by name; null when it or one of them is missing.
const TSetupApi* SystemSetupApi();

// One port of the spooler's list, as it gives them (UTF-16).
struct TSpoolerPort {
  std::wstring name;        // "COM1:"
  std::wstring description; // "Local Port"
};

struct TWinPortSystem {
  const TSetupApi* setupApi = nullptr; // the class source; null: not available
  HKEY registryRoot = HKEY_LOCAL_MACHINE;
  std::wstring registryBase; // put before "SYSTEM\..." and "HARDWARE\..." ("" in the program)
  // The spooler's ports; false when it cannot be asked.
  std::function<bool(std::vector<TSpoolerPort>&)> spoolerPorts;
};

// This machine: setupapi.dll, the local machine's registry, the spooler.
TWinPortSystem ThisWinPortSystem();

// Fills `descriptions` (index 0 is COM1; its size is the number of ports asked for) from the
// sources, the first description of a port winning; the texts are Windows-1250. Returns true
// when any source found a port. The spooler is asked only when the other two found none.
bool DetectWinPorts(std::vector<std::string>& descriptions, const TWinPortSystem& sys);

} // namespace rv58
