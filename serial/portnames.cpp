#include "portnames.h"

#include "strconv.h"

#include <algorithm>
#include <cctype>

namespace rv58 {

namespace {

struct Family {
  std::string_view prefix;
  int first; // port number of <prefix>0
};
constexpr std::array<Family, 3> kFamilies = {{{"/dev/ttyS", 1}, {"/dev/ttyUSB", 33}, {"/dev/ttyACM", 65}}};
constexpr int kFamilySize = 32;

std::vector<TExplicitPort>& ExplicitStore() {
  static std::vector<TExplicitPort> store;
  return store;
}

} // namespace

std::optional<int> PortNumber(std::string_view name) {
  if (name.size() < 4)
    return std::nullopt;
  for (std::size_t i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
      return std::nullopt;
  const auto number = TryStrToInt(name.substr(3));
  if (!number || *number < 1 || *number > kMaxPortNumber)
    return std::nullopt;
  return *number;
}

std::optional<int> DefaultPortNumber(std::string_view devicePath) {
  for (const auto& family : kFamilies) {
    if (!devicePath.starts_with(family.prefix))
      continue;
    const auto digits = devicePath.substr(family.prefix.size());
    // Plain decimal only: "ttyS01" is not the kernel's name of any device.
    if (digits.empty() || digits.size() > 2 || (digits.size() > 1 && digits[0] == '0') ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return std::nullopt;
    const int n = std::stoi(std::string(digits));
    if (n >= kFamilySize)
      return std::nullopt;
    return family.first + n;
  }
  return std::nullopt;
}

std::string DefaultDevicePath(int number) {
  for (const auto& family : kFamilies)
    if (number >= family.first && number < family.first + kFamilySize)
      return std::string(family.prefix) + std::to_string(number - family.first);
  return {};
}

std::vector<TExplicitPort> ParseExplicitPorts(const TIniPairs& pairs) {
  std::vector<TExplicitPort> result;
  std::array<bool, kMaxPortNumber + 1> seen{};
  for (const auto& [key, value] : pairs) {
    const auto number = PortNumber(key);
    if (!number || value.empty() || seen[static_cast<std::size_t>(*number)])
      continue;
    seen[static_cast<std::size_t>(*number)] = true;
    result.push_back({*number, value});
  }
  return result;
}

TPortNameTable::TPortNameTable(const TPortSystem& sys, const std::vector<TExplicitPort>& explicitPorts,
                               const std::vector<std::string>& devices)
    : root_(sys.root) {
  auto known = [this](const std::string& id) {
    return std::any_of(numberOfDevice_.begin(), numberOfDevice_.end(),
                       [&id](const auto& entry) { return entry.first == id; });
  };
  for (const auto& entry : explicitPorts) {
    if (entry.number < 1 || entry.number > kMaxPortNumber ||
        explicit_[static_cast<std::size_t>(entry.number)])
      continue;
    explicit_[static_cast<std::size_t>(entry.number)] = true;
    path_[static_cast<std::size_t>(entry.number)] = entry.path;
    // Two entries naming one device: the first one names it; the second still owns its number.
    if (const std::string id = Identity(entry.path); !known(id))
      numberOfDevice_.emplace_back(id, entry.number);
  }

  std::vector<std::string> others;
  for (const auto& device : devices) {
    const std::string id = Identity(device);
    if (known(id))
      continue; // named explicitly, or listed twice
    const auto number = DefaultPortNumber(id);
    if (number && path_[static_cast<std::size_t>(*number)].empty()) {
      path_[static_cast<std::size_t>(*number)] = id;
      numberOfDevice_.emplace_back(id, *number);
    } else {
      others.push_back(id);
    }
  }

  // Fixed numbers of devices not found now still belong to them, so the pool starts above them.
  std::sort(others.begin(), others.end(), NaturalLess);
  int next = kFirstOtherPortNumber;
  for (const auto& id : others) {
    if (known(id))
      continue;
    while (next <= kMaxPortNumber && !path_[static_cast<std::size_t>(next)].empty())
      ++next;
    if (next > kMaxPortNumber)
      break;
    path_[static_cast<std::size_t>(next)] = id;
    numberOfDevice_.emplace_back(id, next);
  }
}

std::string TPortNameTable::Identity(const std::string& path) const {
  // Listing asks for every device twice (building, then numbering); resolving walks the path.
  if (const auto it = identities_.find(path); it != identities_.end())
    return it->second;
  return identities_.emplace(path, ResolvePath(root_, path).value_or(path)).first->second;
}

std::string TPortNameTable::PathOf(int number) const {
  if (number < 1 || number > kMaxPortNumber)
    return {};
  const auto index = static_cast<std::size_t>(number);
  if (!path_[index].empty())
    return path_[index];
  const std::string fixed = DefaultDevicePath(number);
  if (fixed.empty())
    return {};
  // A default device named by an explicit entry answers to that entry's number only.
  const std::string id = Identity(fixed);
  const bool namedElsewhere = std::any_of(numberOfDevice_.begin(), numberOfDevice_.end(),
                                          [&id](const auto& entry) { return entry.first == id; });
  return namedElsewhere ? std::string() : fixed;
}

std::optional<int> TPortNameTable::NumberOf(const std::string& devicePath) const {
  const std::string id = Identity(devicePath);
  for (const auto& [known, number] : numberOfDevice_)
    if (known == id)
      return number;
  return std::nullopt;
}

bool TPortNameTable::IsExplicit(int number) const {
  return number >= 1 && number <= kMaxPortNumber && explicit_[static_cast<std::size_t>(number)];
}

void SetExplicitPorts(const TIniPairs& pairs) {
  ExplicitStore() = ParseExplicitPorts(pairs);
}

const std::vector<TExplicitPort>& ExplicitPorts() {
  return ExplicitStore();
}

std::string PortDevicePath(std::string_view portOrPath) {
  const auto number = PortNumber(portOrPath);
  if (!number)
    return std::string(portOrPath);
  const TPortSystem& sys = ThisPortSystem();
  // The hardware list matters only for the numbers handed out in order.
  std::vector<std::string> devices;
  if (*number >= kFirstOtherPortNumber) {
    for (const auto& device : ListSysfsDevices(sys))
      devices.push_back(device.path);
  }
  return TPortNameTable(sys, ExplicitPorts(), devices).PathOf(*number);
}

} // namespace rv58
