// Port detection's Windows sources: the class source on a fake setupapi, the driver's enumeration
// on a registry folder of the test's own (Wine's registry), the spooler on a fake list.
#include "portsources.h"
#include "portsources_win.h"
#include "widetext_win.h"

#include <gtest/gtest.h>

#include <optional>

namespace rv58::test {
namespace {

// --- a fake setupapi.dll: the present devices of the ports class ---
struct FakeDevice {
  bool idOk = true;
  std::optional<std::wstring> friendlyName;
  std::optional<std::wstring> deviceDesc;
  bool keyOk = true;
  std::optional<std::wstring> portName;
};
std::vector<FakeDevice> gDevices;
std::wstring gScratch; // registry folder of this test run, below HKEY_CURRENT_USER
bool gSetDestroyed = false;
HDEVINFO const kSet = reinterpret_cast<HDEVINFO>(static_cast<std::intptr_t>(0x77));

HDEVINFO WINAPI FakeGetClassDevs(const GUID* guid, PCWSTR, HWND, DWORD flags) {
  const GUID ports = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
  return IsEqualGUID(*guid, ports) && flags == DIGCF_PRESENT ? kSet
                                                             : static_cast<HDEVINFO>(INVALID_HANDLE_VALUE);
}
BOOL WINAPI FakeEnum(HDEVINFO, DWORD i, PSP_DEVINFO_DATA info) {
  if (i >= gDevices.size())
    return FALSE;
  info->DevInst = i;
  return TRUE;
}
BOOL WINAPI FakeInstanceId(HDEVINFO, PSP_DEVINFO_DATA info, PWSTR id, DWORD size, PDWORD) {
  if (!gDevices[info->DevInst].idOk || size < 8)
    return FALSE;
  wcscpy(id, L"ACPI\\1");
  return TRUE;
}
BOOL WINAPI FakeProperty(HDEVINFO, PSP_DEVINFO_DATA info, DWORD property, PDWORD, PBYTE buffer, DWORD size,
                         PDWORD) {
  const FakeDevice& d = gDevices[info->DevInst];
  const auto& text = property == SPDRP_FRIENDLYNAME ? d.friendlyName : d.deviceDesc;
  if (!text || (text->size() + 1) * sizeof(wchar_t) > size)
    return FALSE;
  wcscpy(reinterpret_cast<wchar_t*>(buffer), text->c_str());
  return TRUE;
}
HKEY WINAPI FakeOpenKey(HDEVINFO, PSP_DEVINFO_DATA info, DWORD scope, DWORD, DWORD type, REGSAM) {
  const FakeDevice& d = gDevices[info->DevInst];
  if (!d.keyOk || scope != DICS_FLAG_GLOBAL || type != DIREG_DEV)
    return static_cast<HKEY>(INVALID_HANDLE_VALUE);
  HKEY key = nullptr;
  const std::wstring path = gScratch + L"\\classdev" + std::to_wstring(info->DevInst);
  ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (d.portName)
    ::RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(d.portName->c_str()),
                     static_cast<DWORD>((d.portName->size() + 1) * sizeof(wchar_t)));
  return key;
}
BOOL WINAPI FakeDestroy(HDEVINFO set) {
  gSetDestroyed = set == kSet;
  return TRUE;
}
const TSetupApi kFakeSetupApi{FakeGetClassDevs, FakeEnum,    FakeInstanceId,
                              FakeProperty,     FakeOpenKey, FakeDestroy};

class WinPortSources : public ::testing::Test {
protected:
  WinPortSources() {
    gScratch = L"Software\\rv58-tests\\" + std::to_wstring(::GetCurrentProcessId());
    gDevices.clear();
    gSetDestroyed = false;
    sys_.registryRoot = HKEY_CURRENT_USER;
    sys_.registryBase = gScratch + L"\\";
    sys_.spoolerPorts = [this](std::vector<TSpoolerPort>& ports) {
      ++spoolerAsked_;
      ports = spooler_;
      return true;
    };
  }
  ~WinPortSources() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, gScratch.c_str()); }

  void SetString(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY h = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (gScratch + L"\\" + key).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(h);
  }
  void SetNumber(const std::wstring& key, const wchar_t* name, DWORD value) {
    HKEY h = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (gScratch + L"\\" + key).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    ::RegCloseKey(h);
  }
  std::vector<std::string> Detect(bool* found = nullptr) {
    std::vector<std::string> d(256);
    const bool f = DetectWinPorts(d, sys_);
    if (found)
      *found = f;
    return d;
  }

  TWinPortSystem sys_;
  std::vector<TSpoolerPort> spooler_;
  int spoolerAsked_ = 0;
};

TEST_F(WinPortSources, TheClassSourceTakesFriendlyNameThenDescriptionThenPortName) {
  gDevices = {
      {true, L"USB Serial Port (COM3)", L"USB Serial Port", true, L"COM3"},
      {true, std::nullopt, L"Communications Port", true, L"COM1"},
      {true, std::nullopt, std::nullopt, true, L"COM256"},
      {true, L"first wins", std::nullopt, true, L"COM3"},
      {false, L"no instance id", std::nullopt, true, L"COM4"},
      {true, L"no key", std::nullopt, false, L"COM5"},
      {true, L"lower case", std::nullopt, true, L"com6"},
      {true, L"out of range", std::nullopt, true, L"COM257"},
      {true, L"zero", std::nullopt, true, L"COM0"},
      {true, L"not a number", std::nullopt, true, L"COMX"},
      {true, L"Port \u0151 (COM9)", std::nullopt, true, L"COM9"},
  };
  sys_.setupApi = &kFakeSetupApi;
  bool found = false;
  const auto d = Detect(&found);
  EXPECT_TRUE(found);
  EXPECT_EQ(d[2], "USB Serial Port (COM3)");
  EXPECT_EQ(d[0], "Communications Port");
  EXPECT_EQ(d[255], "COM256");
  EXPECT_EQ(d[8], "Port \xF5 (COM9)"); // Windows-1250
  for (int empty : {3, 4, 5})
    EXPECT_EQ(d[empty], "") << empty;
  EXPECT_TRUE(gSetDestroyed);
  EXPECT_EQ(spoolerAsked_, 0);
}

TEST_F(WinPortSources, TheDriverSourceReadsPlugAndPlayDevicesAndTheLegacyMap) {
  const std::wstring en = L"SYSTEM\\CurrentControlSet\\Services\\Serial\\Enum";
  SetNumber(en, L"Count", 5);
  SetString(en, L"0", L"ACPI\\PNP0501\\1");
  SetString(en, L"1", L"Root\\LEGACY_SERIAL\\0000");
  SetString(en, L"2", L"Root\\LEGACY_PARPORT\\0000");
  SetNumber(en, L"3", 7);                   // not a string: skipped, the rest still counts
  SetString(en, L"4", L"ACPI\\PNP0501\\2"); // no FriendlyName: the port name
  SetString(L"SYSTEM\\CurrentControlSet\\Enum\\ACPI\\PNP0501\\1\\Device Parameters", L"PortName", L"com3");
  SetString(L"SYSTEM\\CurrentControlSet\\Enum\\ACPI\\PNP0501\\1", L"FriendlyName", L"Soros port (COM3)");
  SetString(L"SYSTEM\\CurrentControlSet\\Enum\\ACPI\\PNP0501\\2\\Device Parameters", L"PortName", L"COM4");
  SetString(L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"\\Device\\Serial0", L"COM1");
  SetString(L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"\\Device\\Serial1", L"\\\\.\\COM12");
  SetString(L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"\\Device\\Serial2", L"COM257");
  SetString(L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"\\Device\\Serial3", L"com5");
  // The class source's description of COM1 wins over the driver's.
  gDevices = {{true, L"Class COM1", std::nullopt, true, L"COM1"}};
  sys_.setupApi = &kFakeSetupApi;
  const auto d = Detect();
  EXPECT_EQ(d[2], "Soros port (COM3)");
  EXPECT_EQ(d[3], "COM4");
  EXPECT_EQ(d[0], "Class COM1");
  EXPECT_EQ(d[11], "COM12");
  EXPECT_EQ(d[4], "");
  EXPECT_EQ(spoolerAsked_, 0);
}

TEST_F(WinPortSources, TheSpoolerIsAskedOnlyWhenNothingElseFoundAPort) {
  spooler_ = {
      {L"COM1:", L"Local Port"}, {L"COM5:", L"Local Port"}, {L"LPT1:", L"Local Port"}, {L"FILE:", L"x"}};
  bool found = false;
  auto d = Detect(&found);
  EXPECT_TRUE(found);
  EXPECT_EQ(spoolerAsked_, 1);
  EXPECT_EQ(d[0], "Local Port (COM1)");
  EXPECT_EQ(d[4], "Local Port (COM5)");
  spooler_ = {};
  d = Detect(&found);
  EXPECT_FALSE(found);
  EXPECT_EQ(d[0], ""); // every detection starts from an empty table
}

} // namespace
} // namespace rv58::test

namespace rv58::test {
namespace {

// The scale monitor asks each second whether its device is still there.
TEST(WinDeviceExists, AFileIsThereAndAPortOrFileTheSystemLacksIsNot) {
  wchar_t self[MAX_PATH];
  ASSERT_NE(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  EXPECT_TRUE(DeviceExists(Utf8FromWide(self)));
  EXPECT_FALSE(DeviceExists(Utf8FromWide(self) + ".missing"));
  // No Wine prefix of the tests maps this port to a device.
  EXPECT_FALSE(DeviceExists("COM222"));
  EXPECT_FALSE(DeviceExists("\\\\.\\COM222"));
}

} // namespace
} // namespace rv58::test
