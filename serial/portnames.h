#pragma once

// The port table: which device every port name "COM1" ... "COM256" stands for, and which ports
// the machine has. One policy over the platform's sources (portsources.h), used alike by the
// port detection, by TComPort when it opens a name, by rv58ctl and by the port-details window,
// so a name means the same device everywhere:
//   1. explicit entries of the preferences file's "Ports" section (COM3=/dev/serial/by-id/...),
//   2. the platform's fixed default numbers, which depend only on the device's own name,
//   3. other devices (and a default device whose number an explicit entry owns) from the
//      platform's first free number upward, in the natural order of the device paths.
// A number owned by an explicit entry is never given to another device, and a device named
// explicitly does not keep a second number.

#include "portsources.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace rv58 {

inline constexpr int kMaxPortNumber = 256;

// The number of a port name "COM1" ... "COM256" (prefix in any letter case, the number through
// the shared integer conversion), or nothing when the text is not a port name. The one reading
// of port names; PortNumberDigits reads what follows the prefix, for a source whose own rule
// checks the prefix.
std::optional<int> PortNumber(std::string_view name);
std::optional<int> PortNumberDigits(std::string_view digits);

// One "Ports" entry: a port number and the device path its value names.
struct TExplicitPort {
  int number = 0;
  std::string path;
};

using TIniPairs = std::vector<std::pair<std::string, std::string>>;

// The "Ports" section's key/value pairs in file order to explicit entries: keys that are not a
// port name 1 to 256 and empty values are ignored; the first entry of a number wins.
std::vector<TExplicitPort> ParseExplicitPorts(const TIniPairs& pairs);

// Which device every port number stands for.
class TPortNameTable {
public:
  TPortNameTable() = default; // no entries, no devices
  // `devices`: the serial hardware found on the system (device paths). Explicit paths and device
  // paths are compared after following symbolic links below the system's root.
  TPortNameTable(const TPortSystem& sys, const std::vector<TExplicitPort>& explicitPorts,
                 const std::vector<std::string>& devices);

  // The device path of a port number, empty when it stands for no device. Fixed default numbers
  // map to their device even when it was not found (it may appear later); only an explicit entry
  // or an explicitly named device takes them away.
  std::string PathOf(int number) const;

  // The number of a found device or of an explicit entry's path, nothing when it has none.
  std::optional<int> NumberOf(const std::string& devicePath) const;

  bool IsExplicit(int number) const;

private:
  std::string Identity(const std::string& path) const;

  std::string root_;
  std::array<std::string, kMaxPortNumber + 1> path_{};              // index = port number
  std::array<bool, kMaxPortNumber + 1> explicit_{};                 // owned by a "Ports" entry
  std::vector<std::pair<std::string, int>> numberOfDevice_;         // identity -> number
  mutable std::unordered_map<std::string, std::string> identities_; // path -> identity, resolved once
};

// One port the table lists: its number and the device, described by the first source that found it.
struct TListedPort {
  int number = 0;
  TPortDevice device;
};

// The machine's ports. The sources, in order of preference: 1. the serial hardware, 2. the
// explicit entries whose paths exist, 3. the device nodes, asked only when the hardware cannot
// be read at all (a container without sysfs) and 1 and 2 found nothing; a machine whose hardware
// list is empty has no port. A device that two sources find keeps the first one's description.
// The names are numbered over the devices of the sources that were used.
class TPortTable {
public:
  // Lists the machine's ports: every source is asked (TPortSystem::onTableBuilt is told).
  TPortTable(const TPortSystem& sys, const std::vector<TExplicitPort>& explicitPorts);

  // The ports found, in ascending order of their numbers.
  const std::vector<TListedPort>& Ports() const { return ports_; }
  // Devices found that got no number (all numbers taken), in the order found.
  const std::vector<TPortDevice>& Unnumbered() const { return unnumbered_; }
  // The device a port number stands for, empty when none (see TPortNameTable::PathOf).
  std::string PathOf(int number) const { return names_.PathOf(number); }

private:
  std::vector<TListedPort> ports_;
  std::vector<TPortDevice> unnumbered_;
  TPortNameTable names_;
};

// What turns port names into devices: the system the port table reads and the explicit entries
// of the preferences file. Its owner (the window, rv58ctl) loads it and hands it to whatever
// lists or opens ports.
struct TPortNames {
  TPortSystem system;
  std::vector<TExplicitPort> explicitPorts;

  // The device path a port name stands for, or the text unchanged when it is not a port name (a
  // device path given directly); empty when a port name maps to no device. An explicit entry or
  // a fixed default number answers from the name alone; only a number from the pool (devices
  // without a default number) builds the port table, which lists the machine's ports.
  std::string DevicePath(std::string_view portOrPath) const;
};

// The "Ports" section of this preferences file as explicit entries (a missing file or section
// gives none), on this machine's port system.
TPortNames LoadPortNames(const std::string& iniPath);

} // namespace rv58
