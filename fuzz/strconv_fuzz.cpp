// The shared integer conversion against a model of its rule (leading spaces, a sign, decimal or
// hexadecimal after "$", "x", "X", "0x", "0X", nothing after the digits, signed 32-bit range,
// hexadecimal as a 32-bit pattern), its round trips, and the INI "0x" rewrite on top of it.
#include "fuzzutil.h"
#include "inifile.h"
#include "strconv.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

using rv58::fuzz::Check;

std::optional<std::int32_t> Model(std::string_view t) {
  t.remove_prefix(std::min(t.find_first_not_of(' '), t.size()));
  const bool negative = !t.empty() && t.front() == '-';
  if (!t.empty() && (t.front() == '-' || t.front() == '+'))
    t.remove_prefix(1);
  int base = 10;
  for (std::string_view prefix : {"0x", "0X", "$", "x", "X"})
    if (t.starts_with(prefix)) {
      base = 16;
      t.remove_prefix(prefix.size());
      break;
    }
  const std::string_view digits = base == 16 ? "0123456789abcdefABCDEF" : "0123456789";
  if (t.empty() || t.find_first_not_of(digits) != std::string_view::npos)
    return std::nullopt;
  t.remove_prefix(std::min(t.find_first_not_of('0'), t.size() - 1)); // keep one digit
  if (t.size() > (base == 16 ? 8u : 10u))
    return std::nullopt;
  const std::int64_t magnitude = std::stoll(std::string(t), nullptr, base);
  if (base == 16)
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(negative ? 0u - magnitude : magnitude));
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX)
    return std::nullopt;
  return static_cast<std::int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto value = rv58::TryStrToInt(text);
  Check(value == Model(text), "the conversion follows its rule");
  Check(rv58::StrToIntDef(text, 7) == value.value_or(7) && rv58::StrToIntDef(text, -7) == value.value_or(-7),
        "StrToIntDef falls back exactly when the conversion fails");
  const bool zeroX = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  Check(rv58::ini::ParseIniInteger(text) == rv58::TryStrToInt(zeroX ? "$" + text.substr(2) : text),
        "INI integers rewrite a leading 0x");
  if (value) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(*value));
    Check(rv58::TryStrToInt(std::to_string(*value)) == value, "decimal round trip");
    Check(rv58::TryStrToInt("  $" + std::string(hex)) == value, "hexadecimal round trip");
    Check(rv58::ini::ParseIniInteger("0x" + std::string(hex)) == value, "INI hexadecimal round trip");
    if (*value != INT32_MIN)
      Check(rv58::TryStrToInt("-" + std::to_string(*value)) == -*value || std::to_string(*value)[0] == '-',
            "a sign negates");
  }
  return 0;
}
