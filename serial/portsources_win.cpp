#include "cp1250.h"
#include "portnames.h"
#include "portsources.h"

#include "portsources_win.h"
#include "widetext_win.h"

#include <winspool.h>

#include <optional>
#include <type_traits>

namespace rv58 {
namespace {

// {4D36E978-E325-11CE-BFC1-08002BE10318}: the device setup class of ports.
const GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// Windows' wide strings are UTF-16.
std::string ToCp1250(const std::wstring& w) {
  return Utf16ToCp1250(std::u16string(w.begin(), w.end()));
}

// Accepts a candidate: a number in range counts as found; the first description of a number wins.
class TAcceptor {
public:
  explicit TAcceptor(std::vector<std::string>& d) : d_(d) {}
  bool Accept(const std::wstring& numberText, const std::wstring& description) {
    const auto number = PortNumberDigits(ToCp1250(numberText));
    if (!number || static_cast<std::size_t>(*number) > d_.size())
      return false;
    std::string& slot = d_[static_cast<std::size_t>(*number - 1)];
    if (slot.empty())
      slot = ToCp1250(description);
    return true;
  }

private:
  std::vector<std::string>& d_;
};

bool StartsWithCom(const std::wstring& s) {
  return s.compare(0, 3, L"COM") == 0;
}

// A string value; a value of another type counts as missing, so one odd entry does not end the
// whole detection.
std::optional<std::wstring> ReadString(HKEY key, const wchar_t* name) {
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::nullopt;
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  value.resize(size / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0')
    value.pop_back();
  return value;
}

class TKey {
public:
  TKey(HKEY root, const std::wstring& path) {
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &h_) != ERROR_SUCCESS)
      h_ = nullptr;
  }
  explicit TKey(HKEY h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  ~TKey() {
    if (h_ != nullptr)
      ::RegCloseKey(h_);
  }
  TKey(const TKey&) = delete;
  TKey& operator=(const TKey&) = delete;
  explicit operator bool() const { return h_ != nullptr; }
  HKEY get() const { return h_; }

private:
  HKEY h_ = nullptr;
};

bool ClassSource(TAcceptor& accept, const TSetupApi& api) {
  const HDEVINFO set = api.GetClassDevs(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE)
    return false;
  bool found = false;
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  for (DWORD i = 0; api.EnumDeviceInfo(set, i, &info); ++i) {
    wchar_t id[256];
    if (!api.GetDeviceInstanceId(set, &info, id, 256, nullptr))
      continue;
    std::wstring description;
    for (const DWORD property : {SPDRP_FRIENDLYNAME, SPDRP_DEVICEDESC}) {
      wchar_t text[256] = {};
      DWORD type = 0;
      if (api.GetDeviceRegistryProperty(set, &info, property, &type, reinterpret_cast<BYTE*>(text),
                                        sizeof text - sizeof(wchar_t), nullptr)) {
        description = text;
        break;
      }
    }
    const TKey key(api.OpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
    if (!key)
      continue;
    const auto portName = ReadString(key.get(), L"PortName");
    if (!portName || !StartsWithCom(*portName))
      continue;
    found |= accept.Accept(portName->substr(3), description.empty() ? *portName : description);
  }
  api.DestroyDeviceInfoList(set);
  return found;
}

bool LegacyScan(TAcceptor& accept, const TWinPortSystem& sys) {
  const TKey map(sys.registryRoot, sys.registryBase + L"HARDWARE\\DEVICEMAP\\SERIALCOMM");
  if (!map)
    return false;
  bool found = false;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    const LONG r = ::RegEnumValueW(map.get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_NO_MORE_ITEMS)
      break;
    if (r != ERROR_SUCCESS)
      continue;
    auto data = ReadString(map.get(), name);
    if (!data)
      continue;
    const std::size_t slash = data->rfind(L'\\');
    const std::wstring port = slash == std::wstring::npos ? *data : data->substr(slash + 1);
    if (StartsWithCom(port))
      found |= accept.Accept(port.substr(3), port);
  }
  return found;
}

bool PlugAndPlayDevice(TAcceptor& accept, const TWinPortSystem& sys, const std::wstring& instance) {
  const std::wstring enumKey = sys.registryBase + L"SYSTEM\\CurrentControlSet\\Enum\\" + instance;
  const TKey parameters(sys.registryRoot, enumKey + L"\\Device Parameters");
  if (!parameters)
    return false;
  const auto portName = ReadString(parameters.get(), L"PortName");
  if (!portName)
    return false;
  // The prefix is not compared here: "com3" is port 3.
  const std::wstring number = portName->size() > 3 ? portName->substr(3) : std::wstring();
  std::wstring friendly;
  if (const TKey device(sys.registryRoot, enumKey); device)
    friendly = ReadString(device.get(), L"FriendlyName").value_or(L"");
  return accept.Accept(number, friendly.empty() ? *portName : friendly);
}

bool DriverSource(TAcceptor& accept, const TWinPortSystem& sys) {
  const TKey key(sys.registryRoot, sys.registryBase + L"SYSTEM\\CurrentControlSet\\Services\\Serial\\Enum");
  if (!key)
    return false;
  DWORD count = 0;
  DWORD type = 0;
  DWORD size = sizeof count;
  if (::RegQueryValueExW(key.get(), L"Count", nullptr, &type, reinterpret_cast<BYTE*>(&count), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD)
    count = 0;
  bool found = false;
  for (DWORD i = 0; i < count; ++i) {
    const std::wstring path = ReadString(key.get(), std::to_wstring(i).c_str()).value_or(L"");
    if (path.find(L"LEGACY_PARPORT") != std::wstring::npos)
      continue;
    if (path.find(L"LEGACY_SERIAL") != std::wstring::npos)
      found |= LegacyScan(accept, sys);
    else
      found |= PlugAndPlayDevice(accept, sys, path);
  }
  return found;
}

bool SpoolerSource(TAcceptor& accept, const TWinPortSystem& sys) {
  std::vector<TSpoolerPort> ports;
  if (!sys.spoolerPorts || !sys.spoolerPorts(ports))
    return false;
  bool found = false;
  for (const TSpoolerPort& p : ports) {
    std::wstring name = p.name;
    while (!name.empty() && !(name.back() >= L'0' && name.back() <= L'9'))
      name.pop_back();
    if (StartsWithCom(name))
      found |= accept.Accept(name.substr(3), p.description + L" (" + name + L")");
  }
  return found;
}

bool SystemSpoolerPorts(std::vector<TSpoolerPort>& ports) {
  // A machine with many ports needs more than a first guess: the call says how much.
  std::vector<BYTE> buffer(5120);
  DWORD needed = 0;
  DWORD returned = 0;
  BOOL ok = ::EnumPortsW(nullptr, 2, buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &returned);
  if (!ok && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    buffer.resize(needed);
    ok = ::EnumPortsW(nullptr, 2, buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &returned);
  }
  if (!ok)
    return false;
  const auto* info = reinterpret_cast<const PORT_INFO_2W*>(buffer.data());
  for (DWORD i = 0; i < returned; ++i)
    ports.push_back(
        {info[i].pPortName ? info[i].pPortName : L"", info[i].pDescription ? info[i].pDescription : L""});
  return true;
}

} // namespace

const TSetupApi* SystemSetupApi() {
  static const TSetupApi* const api = []() -> const TSetupApi* {
    const HMODULE lib = ::LoadLibraryW(L"setupapi.dll");
    if (lib == nullptr)
      return nullptr;
    static TSetupApi a;
    auto get = [lib](auto& entry, const char* name) {
      entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
          reinterpret_cast<void*>(::GetProcAddress(lib, name)));
      return entry != nullptr;
    };
    const bool complete = get(a.GetClassDevs, "SetupDiGetClassDevsW") &&
                          get(a.EnumDeviceInfo, "SetupDiEnumDeviceInfo") &&
                          get(a.GetDeviceInstanceId, "SetupDiGetDeviceInstanceIdW") &&
                          get(a.GetDeviceRegistryProperty, "SetupDiGetDeviceRegistryPropertyW") &&
                          get(a.OpenDevRegKey, "SetupDiOpenDevRegKey") &&
                          get(a.DestroyDeviceInfoList, "SetupDiDestroyDeviceInfoList");
    return complete ? &a : nullptr;
  }();
  return api;
}

TWinPortSystem ThisWinPortSystem() {
  TWinPortSystem sys;
  sys.setupApi = SystemSetupApi();
  sys.spoolerPorts = SystemSpoolerPorts;
  return sys;
}

bool DetectWinPorts(std::vector<std::string>& descriptions, const TWinPortSystem& sys) {
  for (std::string& d : descriptions)
    d.clear();
  TAcceptor accept(descriptions);
  bool found = false;
  if (sys.setupApi != nullptr)
    found |= ClassSource(accept, *sys.setupApi);
  found |= DriverSource(accept, sys);
  if (!found)
    found |= SpoolerSource(accept, sys);
  return found;
}

// --- the platform's sources of the port table ---
// On Windows every port has its number in its own name, so the whole detection above is the
// hardware source, and a port name opens as itself.

std::vector<TPortDevice> ListHardwarePorts(const TPortSystem&, bool* readable) {
  if (readable != nullptr)
    *readable = true;
  std::vector<std::string> descriptions(256);
  DetectWinPorts(descriptions, ThisWinPortSystem());
  std::vector<TPortDevice> ports;
  for (std::size_t i = 0; i < descriptions.size(); ++i) {
    if (descriptions[i].empty())
      continue;
    TPortDevice device;
    device.path = "COM" + std::to_string(i + 1);
    device.description = descriptions[i];
    ports.push_back(std::move(device));
  }
  return ports;
}

std::vector<TPortDevice> ListDeviceNodes(const TPortSystem&) {
  return {};
}

std::optional<int> DefaultPortNumber(std::string_view devicePath) {
  if (devicePath.starts_with("\\\\.\\"))
    devicePath.remove_prefix(4);
  return PortNumber(devicePath);
}

std::string DefaultDevicePath(int number) {
  return number >= 1 && number <= 256 ? "COM" + std::to_string(number) : std::string();
}

std::optional<std::string> ResolvePath(const std::string&, const std::string& path) {
  if (const auto number = DefaultPortNumber(path))
    return DefaultDevicePath(*number);
  const std::wstring w = WideFromUtf8(path);
  if (w.empty() || ::GetFileAttributesW(w.c_str()) == INVALID_FILE_ATTRIBUTES)
    return std::nullopt;
  return path;
}

bool DeviceExists(const std::string& devicePath) {
  std::string_view name = devicePath;
  if (name.starts_with("\\\\.\\"))
    name.remove_prefix(4);
  if (!DefaultPortNumber(name)) {
    const std::wstring w = WideFromUtf8(devicePath);
    return !w.empty() && ::GetFileAttributesW(w.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  wchar_t target[1024];
  if (::QueryDosDeviceW(WideFromUtf8(name).c_str(), target, 1024) != 0)
    return true;
  // Not every system names its ports there (Wine names only those it found at start): a port
  // that opens, or that is taken, is there; one that is not found is not.
  const HANDLE h = ::CreateFileW(WideFromUtf8("\\\\.\\" + std::string(name)).c_str(),
                                 GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    ::CloseHandle(h);
    return true;
  }
  const DWORD error = ::GetLastError();
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

// Every number belongs to its own port; nothing is numbered from a pool.
const int kFirstOtherPortNumber = 257;

} // namespace rv58
