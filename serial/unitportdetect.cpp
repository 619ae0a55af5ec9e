#include "unitportdetect.h"

#include <algorithm>

namespace rv58 {

std::array<TDetectedPort, kMaxPortNumber> DetectedPorts;

namespace {

// Accepting a port is the same in every source: a number in range counts as found, and the
// first description of a number stays; an empty one falls back to the port name.
class TAcceptor {
public:
  TAcceptor(std::span<TDetectedPort> ports, int maxIndex) : ports_(ports), maxIndex_(maxIndex) {}

  bool Accept(std::optional<int> number, const std::string& description) {
    if (!number || *number < 1 || *number > maxIndex_ + 1)
      return false;
    auto& entry = ports_[static_cast<std::size_t>(*number - 1)];
    if (entry.Description.empty())
      entry.Description = description.empty() ? "COM" + std::to_string(*number) : description;
    return true;
  }

private:
  std::span<TDetectedPort> ports_;
  int maxIndex_;
};

} // namespace

bool DetectPorts(const TPortNames& names, std::span<TDetectedPort> Ports, int MaxIndex) {
  // A caller's MaxIndex beyond its table would write past the end.
  MaxIndex = std::min(MaxIndex, static_cast<int>(Ports.size()) - 1);
  if (MaxIndex < 0)
    return false;
  for (int i = 0; i <= MaxIndex; ++i)
    Ports[static_cast<std::size_t>(i)].Description.clear();
  TAcceptor acceptor(Ports, MaxIndex);

  bool found = false;
  const TPortTable table(names.system, names.explicitPorts);
  for (const auto& port : table.Ports())
    found |= acceptor.Accept(port.number, port.device.description);
  return found;
}

void ListPorts(const TPortNames& names, std::vector<std::string>& Strings, bool Descriptive,
               std::span<TDetectedPort> table) {
  Strings.clear();
  DetectPorts(names, table, static_cast<int>(table.size()) - 1);
  for (std::size_t i = 0; i < table.size(); ++i) {
    const auto& description = table[i].Description;
    if (description.empty())
      continue;
    std::string line = "COM" + std::to_string(i + 1);
    if (Descriptive)
      line += " - " + description;
    Strings.push_back(std::move(line));
  }
}

} // namespace rv58
