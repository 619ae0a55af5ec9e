#pragma once

// Port detection: which of the ports COM1 ... COM256 exist on this machine, with a text that
// describes each, from the platform's sources in a fixed order of preference.

#include "portnames.h"
#include "portsources.h"

#include <array>
#include <span>
#include <string>
#include <vector>

namespace rv58 {

// One record per port number; an empty Description means no port with this number was found.
struct TDetectedPort {
  std::string Description; // 8-bit text (Windows-1250)
};

// The table the program lists from: index i is the port "COM" i + 1.
extern std::array<TDetectedPort, kMaxPortNumber> DetectedPorts;

// Clears entries 0 to MaxIndex, then fills the descriptions of the ports of the port table
// (TPortTable: its sources in order of preference, the first that describes a number wins).
// Numbers outside 1 to MaxIndex + 1 are ignored; MaxIndex is capped to the table's size.
// Returns true when any source accepted a port number.
bool DetectPorts(std::span<TDetectedPort> Ports, int MaxIndex);

// The same on a given system and set of explicit entries.
bool DetectPortsOn(const TPortSystem& sys, const std::vector<TExplicitPort>& explicitPorts,
                   std::span<TDetectedPort> Ports, int MaxIndex);

// Clears Strings, reloads the "Ports" section, runs DetectPorts(DetectedPorts, 255) and adds one
// line per port found in ascending order: "COM3", or with Descriptive "COM3 - description".
void ListPorts(std::vector<std::string>& Strings, bool Descriptive);

// ListPorts on a given system and set of explicit entries, filling `table` instead.
void ListPortsOn(const TPortSystem& sys, const std::vector<TExplicitPort>& explicitPorts,
                 std::span<TDetectedPort> table, std::vector<std::string>& Strings, bool Descriptive);

} // namespace rv58
