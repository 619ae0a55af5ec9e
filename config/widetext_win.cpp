#include "widetext_win.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace rv58 {

std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty())
    return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), w.data(), n);
  return w;
}

std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty())
    return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), s.data(), n, nullptr,
                        nullptr);
  return s;
}

} // namespace rv58
