#pragma once

// The port lists the window and rv58ctl show: the ports of the port table (portnames.h, which
// asks the platform's sources), one record per number with its description, and the lines made
// of them.

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
bool DetectPorts(const TPortNames& names, std::span<TDetectedPort> Ports, int MaxIndex);

// Clears Strings, runs DetectPorts on `table` (DetectedPorts in the program) with its highest
// index and adds one line per port found in ascending order: "COM3", or with Descriptive
// "COM3 - description".
void ListPorts(const TPortNames& names, std::vector<std::string>& Strings, bool Descriptive,
               std::span<TDetectedPort> table = DetectedPorts);

} // namespace rv58
