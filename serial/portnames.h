#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rv58 {

// The number of a port name "COM1" ... "COM256" (prefix in any letter case, the number through
// the shared integer conversion), or nothing when the text is not a port name.
std::optional<int> PortNumber(std::string_view name);

// The device path a port name stands for on this machine, or the text unchanged when it is not
// a port name (a device path given directly). Empty when a port name maps to no device.
std::string PortDevicePath(std::string_view portOrPath);

} // namespace rv58
