// The association in Wine's registry, below a scratch key of the test's own, so that the prefix's
// own classes are neither read nor changed.
#include "association.h"
#include "association_win.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using Tree = std::map<std::wstring, std::wstring>; // "key path|value name" -> string data

// Every value below the key, with its path relative to `prefix`; non-string values show as "?".
void Collect(HKEY key, const std::wstring& prefix, Tree& out) {
  wchar_t name[256];
  BYTE data[1024];
  for (DWORD i = 0;; ++i) {
    DWORD nameLen = 256, size = sizeof(data) - sizeof(wchar_t), type = 0;
    if (::RegEnumValueW(key, i, name, &nameLen, nullptr, &type, data, &size) != ERROR_SUCCESS)
      break;
    data[size] = data[size + 1] = 0;
    out[prefix + L"|" + name] = type == REG_SZ ? reinterpret_cast<const wchar_t*>(data) : L"?";
  }
  for (DWORD i = 0;; ++i) {
    DWORD nameLen = 256;
    if (::RegEnumKeyExW(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    HKEY child = nullptr;
    if (::RegOpenKeyExW(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
      Collect(child, prefix + L"\\" + name, out);
      ::RegCloseKey(child);
    }
  }
}

class RegistryAssociationTest : public ::testing::Test {
protected:
  void SetUp() override {
    scratch_ = L"Software\\rv58-association-test-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, scratch_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                &root_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    ::RegCloseKey(root_);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, scratch_.c_str());
  }
  Tree Classes() const {
    Tree out;
    Collect(root_, L"", out);
    return out;
  }
  static Tree Expected(const std::wstring& icon, const std::wstring& command) {
    return {{L"\\Software\\Classes\\.rv5|", L"RV58File"},
            {L"\\Software\\Classes\\RV58File|", L"RV58 Settings file"},
            {L"\\Software\\Classes\\RV58File\\DefaultIcon|", icon},
            {L"\\Software\\Classes\\RV58File\\shell\\open\\command|", command}};
  }
  std::wstring scratch_;
  HKEY root_ = nullptr;
};

TEST_F(RegistryAssociationTest, WritesExactlyTheFourDefaultValuesAndTheSameAgain) {
  const struct {
    std::wstring exe, icon, command;
  } cases[] = {
      {L"C:\\RV58\\rv58led.exe", L"C:\\RV58\\rv58led.exe", L"\"C:\\RV58\\rv58led.exe\" \"%1\""},
      {L"C:\\Program Files\\Mérleg\\rv58led.exe", L"C:\\Program Files\\Mérleg\\rv58led.exe",
       L"\"C:\\Program Files\\Mérleg\\rv58led.exe\" \"%1\""},
      {L"C:\\a,b\\rv58led.exe", L"C:\\a,b\\rv58led.exe,0", L"\"C:\\a,b\\rv58led.exe\" \"%1\""},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(rv58::WriteRegistryAssociation(root_, c.exe).Complete());
    EXPECT_EQ(Classes(), Expected(c.icon, c.command));
    EXPECT_TRUE(rv58::WriteRegistryAssociation(root_, c.exe).Complete());
    EXPECT_EQ(Classes(), Expected(c.icon, c.command));
  }
}

TEST_F(RegistryAssociationTest, AKeyThatCannotBeWrittenFailsAloneAndIsReported) {
  // Below a volatile key no lasting key can be made, so the icon and the command fail.
  HKEY classes = nullptr, type = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(root_, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &classes,
                              nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegCreateKeyExW(classes, L"RV58File", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                              &type, nullptr),
            ERROR_SUCCESS);
  ::RegCloseKey(type);
  ::RegCloseKey(classes);
  const rv58::RegistryAssociation r = rv58::WriteRegistryAssociation(root_, L"C:\\RV58\\rv58led.exe");
  EXPECT_TRUE(r.extension);
  EXPECT_TRUE(r.fileType);
  EXPECT_FALSE(r.icon);
  EXPECT_FALSE(r.openCommand);
  EXPECT_FALSE(r.Complete());
  EXPECT_EQ(Classes(), (Tree{{L"\\Software\\Classes\\.rv5|", L"RV58File"},
                             {L"\\Software\\Classes\\RV58File|", L"RV58 Settings file"}}));
}

TEST_F(RegistryAssociationTest, TheProgramWritesItsOwnPathForTheCurrentUser) {
  wchar_t self[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  // The current user's root stands for the scratch key for this one call.
  if (::RegOverridePredefKey(HKEY_CURRENT_USER, root_) != ERROR_SUCCESS)
    GTEST_SKIP() << "this system cannot redirect the current user's root";
  const bool done = rv58::AssociateFileType();
  ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  EXPECT_TRUE(done);
  EXPECT_EQ(Classes(), Expected(self, L"\"" + std::wstring(self) + L"\" \"%1\""));
}

} // namespace
