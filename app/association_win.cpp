#include "association.h"

#include "association_win.h"
#include "fileio.h"
#include "widetext_win.h"

#include <shlobj.h>

namespace rv58 {

namespace {

// Opens or creates the key and sets its default value. The key's full path below the root makes
// every key independent of the others.
bool WriteDefaultValue(HKEY root, const wchar_t* path, const std::wstring& value) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
    return false;
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  const LSTATUS rc =
      ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
  ::RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

} // namespace

std::wstring IconValue(const std::wstring& executable) {
  return executable.find(L',') == std::wstring::npos ? executable : executable + L",0";
}

std::wstring OpenCommandValue(const std::wstring& executable) {
  return L"\"" + executable + L"\" \"%1\"";
}

RegistryAssociation WriteRegistryAssociation(HKEY root, const std::wstring& executable) {
  RegistryAssociation r;
  r.extension = WriteDefaultValue(root, L"Software\\Classes\\.rv5", L"RV58File");
  r.fileType = WriteDefaultValue(root, L"Software\\Classes\\RV58File", L"RV58 Settings file");
  if (executable.empty())
    return r;
  r.icon = WriteDefaultValue(root, L"Software\\Classes\\RV58File\\DefaultIcon", IconValue(executable));
  r.openCommand = WriteDefaultValue(root, L"Software\\Classes\\RV58File\\shell\\open\\command",
                                    OpenCommandValue(executable));
  return r;
}

bool AssociateFileType() {
  const RegistryAssociation written =
      WriteRegistryAssociation(HKEY_CURRENT_USER, WideFromUtf8(fileio::ExecutablePath()));
  // Explorer keeps the associations it has read; this tells it to read them again.
  ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return written.Complete();
}

} // namespace rv58
