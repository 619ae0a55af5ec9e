// The "Ports" section of the preferences file and port names:
// - ReadSectionValues gives each key of the section once, in file order, with ReadString's value;
// - the explicit entries are port numbers 1 to 256, each once, each from the first pair of its
//   number with a value;
// - a port name is "COM" in any letter case and a number 1 to 256 by the shared conversion.
// An input starting with "*" is a template: its lines are repeated under 10,000 distinct keys,
// so that a section scan that grows with the square of the keys runs out of time.
#include "cp1250.h"
#include "fuzzutil.h"
#include "inifile.h"
#include "portnames.h"
#include "preferences.h"
#include "strconv.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using rv58::fuzz::Check;

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (rv58::Cp1250UpperCase(static_cast<unsigned char>(a[i])) !=
        rv58::Cp1250UpperCase(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string Expand(std::string_view pattern) {
  std::vector<std::string_view> lines;
  while (!pattern.empty()) {
    const std::size_t end = pattern.find('\n');
    lines.push_back(pattern.substr(0, end));
    pattern.remove_prefix(end == std::string_view::npos ? pattern.size() : end + 1);
  }
  if (lines.empty())
    lines.push_back("/dev/pts/1");
  std::string file = "[Ports]\r\n";
  for (std::size_t i = 0; i < 10000; ++i)
    file.append("COM").append(std::to_string(i)).append("=").append(lines[i % lines.size()]).append("\r\n");
  return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider fdp(data, size);
  const int probe = fdp.ConsumeIntegralInRange<int>(-8, 300);
  std::string content = fdp.ConsumeRemainingBytesAsString();
  const bool expanded = !content.empty() && content.front() == '*';
  if (expanded)
    content = Expand(std::string_view(content).substr(1));
  const std::filesystem::path path = rv58::fuzz::Folder() / "rv58led.ini";
  rv58::fuzz::WriteBytes(path, content);
  const rv58::TIniFile prefs(path.string());

  const auto pairs = prefs.ReadSectionValues(rv58::kPortsSection);
  const auto keys = prefs.ReadSection(rv58::kPortsSection);
  const auto section = prefs.ReadSectionSnapshot(rv58::kPortsSection);
  std::size_t k = 0;
  for (std::size_t p = 0; p < pairs.size(); ++p) {
    // The next key in file order that is not a repeat of an earlier one.
    while (k < keys.size() && !SameName(keys[k], pairs[p].first))
      ++k;
    Check(k < keys.size() && keys[k] == pairs[p].first, "pairs follow the keys' file order");
    ++k;
    if (!expanded || p < 64) {
      Check(pairs[p].second == section.ReadString(pairs[p].first, "\x01"), "a pair's value is ReadString's");
      for (std::size_t q = 0; q < p; ++q)
        Check(!SameName(pairs[q].first, pairs[p].first), "each key once");
    }
  }

  const auto ports = rv58::ParseExplicitPorts(pairs);
  std::array<bool, rv58::kMaxPortNumber + 1> taken{};
  std::size_t nextPair = 0;
  for (const auto& port : ports) {
    Check(port.number >= 1 && port.number <= rv58::kMaxPortNumber && !taken[port.number],
          "explicit numbers are 1 to 256, each once");
    Check(!port.path.empty(), "an explicit entry names a device");
    // Pairs skipped before this entry have no number, no value, or a number already taken.
    while (nextPair < pairs.size() &&
           !(rv58::PortNumber(pairs[nextPair].first) == port.number && pairs[nextPair].second == port.path)) {
      const auto n = rv58::PortNumber(pairs[nextPair].first);
      Check(!n || pairs[nextPair].second.empty() || taken[*n], "the first pair of a number wins");
      ++nextPair;
    }
    Check(nextPair < pairs.size(), "every entry comes from a pair");
    ++nextPair;
    taken[port.number] = true;
  }

  for (std::size_t p = 0; p < pairs.size() && p < 64; ++p) {
    const std::string& name = pairs[p].first;
    const auto number = rv58::PortNumber(name);
    const bool com = name.size() >= 4 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
                     std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
                     std::toupper(static_cast<unsigned char>(name[2])) == 'M';
    const auto converted = com ? rv58::TryStrToInt(std::string_view(name).substr(3)) : std::nullopt;
    const bool valid = converted && *converted >= 1 && *converted <= rv58::kMaxPortNumber;
    Check(number.has_value() == valid && (!valid || *number == *converted),
          "a port name is COM and 1 to 256");
  }
  const auto number = rv58::PortNumber("cOm" + std::to_string(probe));
  Check(number.has_value() == (probe >= 1 && probe <= 256) && (!number || *number == probe),
        "COM<n> names port n");
  return 0;
}
