#include "testutil_cp1250.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace rv58::test {

std::string ToCp1250(const std::string& utf8) {
  if (utf8.empty())
    return {};
  const int size = static_cast<int>(utf8.size());
  const int wide = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (wide <= 0)
    return "<not convertible>";
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, w.data(), wide);
  BOOL lossy = FALSE;
  const int bytes =
      ::WideCharToMultiByte(1250, WC_NO_BEST_FIT_CHARS, w.data(), wide, nullptr, 0, nullptr, &lossy);
  if (bytes <= 0)
    return "<no converter>";
  std::string out(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(1250, WC_NO_BEST_FIT_CHARS, w.data(), wide, out.data(), bytes, nullptr, &lossy);
  return lossy ? "<not convertible>" : out;
}

} // namespace rv58::test
