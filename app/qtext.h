#pragma once

// The widgets' side of the Windows-1250 boundary: widgets hold QString, the core Windows-1250
// bytes. A thin layer over the one conversion in config/cp1250.h.

#include "cp1250.h"

#include <QString>

#include <string>
#include <string_view>

namespace rv58 {

inline QString FromCp1250(std::string_view bytes) {
  return QString::fromStdU16String(Cp1250ToUtf16(bytes));
}

// Characters outside the code page become "?".
inline std::string ToCp1250(const QString& text) {
  return Utf16ToCp1250(text.toStdU16String());
}

} // namespace rv58
