#include "portnames.h"

#include "strconv.h"

#include <algorithm>
#include <cctype>

namespace rv58 {

namespace {

std::vector<std::string> PathsOf(const std::vector<TPortDevice>& devices) {
  std::vector<std::string> paths;
  paths.reserve(devices.size());
  for (const auto& device : devices)
    paths.push_back(device.path);
  return paths;
}

} // namespace

std::optional<int> PortNumber(std::string_view name) {
  if (name.size() < 4)
    return std::nullopt;
  for (std::size_t i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
      return std::nullopt;
  return PortNumberDigits(name.substr(3));
}

std::optional<int> PortNumberDigits(std::string_view digits) {
  const auto number = TryStrToInt(digits);
  if (!number || *number < 1 || *number > kMaxPortNumber)
    return std::nullopt;
  return *number;
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

std::string TPortNames::DevicePath(std::string_view portOrPath) const {
  const auto number = PortNumber(portOrPath);
  if (!number)
    return std::string(portOrPath);
  // Without the devices, the names table knows the explicit entries and the fixed numbers.
  const TPortNameTable names(system, explicitPorts, {});
  const bool pool = !names.IsExplicit(*number) && DefaultDevicePath(*number).empty();
  return pool ? TPortTable(system, explicitPorts).PathOf(*number) : names.PathOf(*number);
}

TPortTable::TPortTable(const TPortSystem& sys, const std::vector<TExplicitPort>& explicitPorts) {
  if (sys.onTableBuilt)
    sys.onTableBuilt();
  std::array<std::optional<TPortDevice>, kMaxPortNumber + 1> found;
  bool any = false;
  // The first source that finds a number describes it.
  auto take = [&](std::optional<int> number, const TPortDevice& device) {
    if (!number) {
      unnumbered_.push_back(device);
      return;
    }
    auto& slot = found[static_cast<std::size_t>(*number)];
    if (!slot)
      slot = device;
    any = true;
  };

  bool readable = true;
  const std::vector<TPortDevice> hardware = ListHardwarePorts(sys, &readable);
  names_ = TPortNameTable(sys, explicitPorts, PathsOf(hardware));
  for (const auto& device : hardware)
    take(names_.NumberOf(device.path), device);

  for (const auto& entry : explicitPorts) {
    // Listed when its path exists and the entry names the device (a second entry for the same
    // device owns its number but does not list the device twice).
    if (!names_.IsExplicit(entry.number) || names_.PathOf(entry.number) != entry.path ||
        names_.NumberOf(entry.path) != entry.number || !ResolvePath(sys.root, entry.path))
      continue;
    TPortDevice device;
    device.path = entry.path;
    device.description = entry.path;
    take(entry.number, device);
  }

  // A machine whose hardware list could be read and is empty has no port; its device nodes are
  // the empty slots the list leaves out.
  if (!any && !readable) {
    const std::vector<TPortDevice> nodes = ListDeviceNodes(sys);
    names_ = TPortNameTable(sys, explicitPorts, PathsOf(nodes));
    for (const auto& node : nodes)
      take(names_.NumberOf(node.path), node);
  }

  for (int number = 1; number <= kMaxPortNumber; ++number)
    if (auto& slot = found[static_cast<std::size_t>(number)])
      ports_.push_back({number, std::move(*slot)});
}

bool NaturalLess(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  while (i < a.size() && j < b.size()) {
    if (isDigit(a[i]) && isDigit(b[j])) {
      std::size_t ei = i, ej = j;
      while (ei < a.size() && isDigit(a[ei]))
        ++ei;
      while (ej < b.size() && isDigit(b[ej]))
        ++ej;
      // Compare by value: strip leading zeros, then longer is larger, then digit by digit.
      std::size_t si = i, sj = j;
      while (si + 1 < ei && a[si] == '0')
        ++si;
      while (sj + 1 < ej && b[sj] == '0')
        ++sj;
      if (ei - si != ej - sj)
        return ei - si < ej - sj;
      const int c = a.compare(si, ei - si, b, sj, ej - sj);
      if (c != 0)
        return c < 0;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j])
        return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
      ++i;
      ++j;
    }
  }
  if ((a.size() - i) != (b.size() - j))
    return a.size() - i < b.size() - j;
  return a < b; // equal by value ("ttyS01" and "ttyS1"): keep a strict order
}

} // namespace rv58
