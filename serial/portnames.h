#pragma once

// Port names on Linux. The window, settings files and preferences keep "COM1" ... "COM256"; each
// stands for a device path:
//   1. explicit entries of the preferences file's "Ports" section (COM3=/dev/serial/by-id/...),
//   2. fixed defaults that depend only on the device's own name: ttyS<n> is COM<n+1>,
//      ttyUSB<n> COM<n+33>, ttyACM<n> COM<n+65>,
//   3. other serial hardware (and a default device whose number an explicit entry owns) from
//      COM97 upward in the natural order of the device paths.
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
inline constexpr int kFirstOtherPortNumber = 97;

// The number of a port name "COM1" ... "COM256" (prefix in any letter case, the number through
// the shared integer conversion), or nothing when the text is not a port name.
std::optional<int> PortNumber(std::string_view name);

// The fixed default number of a device path (/dev/ttyS0 is 1, /dev/ttyUSB0 33, /dev/ttyACM0 65),
// or nothing for other devices.
std::optional<int> DefaultPortNumber(std::string_view devicePath);

// The device path of a fixed default number (1 is /dev/ttyS0), or empty above 96.
std::string DefaultDevicePath(int number);

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

// The explicit entries the program uses, loaded from the preferences file.
void SetExplicitPorts(const TIniPairs& pairs);
const std::vector<TExplicitPort>& ExplicitPorts();

// Reads the "Ports" section of this preferences file into the explicit entries and remembers the
// file for ReloadPortsSection. A missing file or section gives no entries.
void LoadPortsSection(const std::string& iniPath);

// Reads the remembered preferences file again (before every listing of the ports); does nothing
// when none was loaded.
void ReloadPortsSection();

// The device path a port name stands for on this machine, or the text unchanged when it is not
// a port name (a device path given directly). Empty when a port name maps to no device.
std::string PortDevicePath(std::string_view portOrPath);

} // namespace rv58
