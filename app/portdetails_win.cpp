#include "portdetails.h"

#include "cp1250.h"
#include "widetext_win.h"

#include <map>

#include <windows.h>

namespace rv58 {

namespace {

std::string Cp1250FromWide(const std::wstring& w) {
  return Utf16ToCp1250(std::u16string(w.begin(), w.end()));
}

// The system's map of serial ports to their kernel devices ("COM3" -> "\Device\Serial0"), which
// names the driver that serves each port.
std::map<std::wstring, std::wstring> SerialDeviceMap() {
  std::map<std::wstring, std::wstring> map;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return map;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    wchar_t data[256];
    DWORD nameLength = 256;
    DWORD dataBytes = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LONG r =
        ::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataBytes);
    if (r == ERROR_NO_MORE_ITEMS)
      break;
    if (r != ERROR_SUCCESS || type != REG_SZ)
      continue;
    data[dataBytes / sizeof(wchar_t)] = L'\0';
    map[data] = name;
  }
  ::RegCloseKey(key);
  return map;
}

// "\Device\Silabser0" -> "Silabser": the device object's name without its folder and number.
std::wstring DriverOf(std::wstring device) {
  if (const auto slash = device.rfind(L'\\'); slash != std::wstring::npos)
    device.erase(0, slash + 1);
  while (!device.empty() && device.back() >= L'0' && device.back() <= L'9')
    device.pop_back();
  return device;
}

// Whether the port can be opened now: opened exclusively, as an upload opens it, and closed at
// once without a setting changed.
void ProbeOpen(const std::string& portName, TPortDetail& row) {
  const std::wstring path = L"\\\\.\\" + WideFromUtf8(portName);
  const HANDLE h =
      ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    ::CloseHandle(h);
    row.canOpen = true;
    return;
  }
  const DWORD error = ::GetLastError();
  row.exists = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
  row.busy = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

} // namespace

TPortDetailsSource MachinePortDetails(const std::string& iniPath) {
  return [iniPath] {
    const TPortNames names = LoadPortNames(iniPath);
    const TPortTable table(names.system, names.explicitPorts);
    const std::map<std::wstring, std::wstring> devices = SerialDeviceMap();
    std::vector<TPortDetail> rows;
    for (const auto& port : table.Ports()) {
      TPortDetail row;
      row.comName = "COM" + std::to_string(port.number);
      row.product = port.device.description; // the friendly name the system gives the port
      if (const auto it = devices.find(WideFromUtf8(row.comName)); it != devices.end()) {
        row.devicePath = Cp1250FromWide(it->second);
        row.driver = Cp1250FromWide(DriverOf(it->second));
      } else {
        row.devicePath = port.device.path;
      }
      ProbeOpen(port.device.path, row);
      rows.push_back(std::move(row));
    }
    return rows;
  };
}

} // namespace rv58
