#pragma once

// UTF-8 and Windows' wide strings (UTF-16), for the Windows back-ends: the program keeps paths
// and messages in UTF-8 and converts at the system call. Windows only.

#include <string>
#include <string_view>

namespace rv58 {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

} // namespace rv58
