#include "strconv.h"

namespace rv58 {

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

} // namespace

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::string_view rest = text.substr(i);
  bool hex = false;
  if (rest.starts_with("0x") || rest.starts_with("0X")) {
    hex = true;
    rest.remove_prefix(2);
  } else if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
    hex = true;
    rest.remove_prefix(1);
  }
  if (rest.empty())
    return std::nullopt;

  if (hex) {
    std::uint64_t value = 0;
    for (char c : rest) {
      const int d = hexDigit(c);
      if (d < 0)
        return std::nullopt;
      value = value * 16 + static_cast<std::uint64_t>(d);
      if (value > 0xFFFFFFFFull)
        return std::nullopt;
    }
    auto bits = static_cast<std::uint32_t>(value);
    if (negative)
      bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
  }

  std::int64_t value = 0;
  for (char c : rest) {
    if (c < '0' || c > '9')
      return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 2147483648LL)
      return std::nullopt;
  }
  if (negative)
    value = -value;
  if (value > 2147483647LL)
    return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback) {
  return TryStrToInt(text).value_or(fallback);
}

std::vector<std::string_view> SplitNonEmpty(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  std::size_t i = 0;
  while (i <= text.size()) {
    std::size_t j = text.find(separator, i);
    if (j == std::string_view::npos)
      j = text.size();
    if (j > i)
      pieces.push_back(text.substr(i, j - i));
    i = j + 1;
  }
  return pieces;
}

} // namespace rv58
