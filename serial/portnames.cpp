#include "portnames.h"

#include "strconv.h"

#include <cctype>

namespace rv58 {

std::optional<int> PortNumber(std::string_view name) {
  if (name.size() < 4)
    return std::nullopt;
  for (std::size_t i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
      return std::nullopt;
  const auto number = TryStrToInt(name.substr(3));
  if (!number || *number < 1 || *number > 256)
    return std::nullopt;
  return *number;
}

std::string PortDevicePath(std::string_view portOrPath) {
  const auto number = PortNumber(portOrPath);
  if (!number)
    return std::string(portOrPath);
  const int n = *number;
  if (n <= 32)
    return "/dev/ttyS" + std::to_string(n - 1);
  if (n <= 64)
    return "/dev/ttyUSB" + std::to_string(n - 33);
  if (n <= 96)
    return "/dev/ttyACM" + std::to_string(n - 65);
  return {};
}

} // namespace rv58
