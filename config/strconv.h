#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace rv58 {

// The one integer conversion every text-to-number reading in the program goes through,
// so that INI values, port numbers and terminator tokens accept exactly the same forms:
// leading spaces, an optional sign, then decimal digits or hexadecimal digits after
// "$", "x", "X", "0x" or "0X"; nothing may follow the digits; signed 32-bit range
// (hexadecimal takes up to 8 significant digits as a 32-bit pattern, so "$FFFFFFFF" is -1).
std::optional<std::int32_t> TryStrToInt(std::string_view text);

// TryStrToInt, or `fallback` when the text does not convert.
std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback);

// The pieces between the separators, empty pieces dropped ("a;;b;" gives "a" and "b"): the form
// of stored window positions and of path components.
std::vector<std::string_view> SplitNonEmpty(std::string_view text, char separator);

} // namespace rv58
