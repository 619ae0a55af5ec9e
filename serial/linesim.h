#pragma once
// A serial line on paper: bytes become the bit stream a sender puts on the wire at its speed and
// character format, and a receiver with its own speed and format reads that stream back as a
// UART does (start bit on a falling edge, bits sampled in their middle, the parity checked, the
// first stop bit checked), with the framing and parity errors it would flag. A pseudo-terminal
// cannot show a wrong speed; this can.

#include "comdevice.h"

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace rv58 {

// Speed and character format of one end of the line.
struct TLineFormat {
  std::uint32_t baud = 9600;
  int dataBits = 8;        // 5 to 8
  TParity parity = ptNONE; // ptNONE, ptEVEN or ptODD
  int stopBits = 1;        // 1 or 2

  // From the indices of the `bd` and `pr` lists.
  static TLineFormat FromIndices(std::int32_t bd, std::int32_t pr);
  std::int32_t BdIndex() const; // -1 when the speed is not in the list
  std::int32_t PrIndex() const;
  std::string Name() const; // "9600 8N1"
  bool operator==(const TLineFormat&) const = default;
};

// The line's level over time: idle (1) before the first edge, then the levels after each edge.
struct TBitStream {
  struct Edge {
    double time;
    bool level;
  };
  std::vector<Edge> edges;
  bool LevelAt(double time) const;
  // Time of the first falling edge strictly after `time`, or a negative value when none.
  double NextFallingEdge(double time) const;
  double End() const { return edges.empty() ? 0.0 : edges.back().time; }
};

// Appends the characters of `bytes` back to back from `start`; returns when the last stop bit ends.
double Transmit(TBitStream& line, const TLineFormat& format, double start, std::string_view bytes);

// Random levels from `start` to `end`, each held for a random time around `meanHold` seconds.
void AddNoise(TBitStream& line, std::mt19937& random, double start, double end, double meanHold);

struct TReceivedByte {
  unsigned char byte = 0;
  bool framingError = false;
  bool parityError = false;
  double time = 0; // when the stop bit was sampled
};

// What a receiver set to `format` reads from the line between `from` and `to`; characters whose
// stop bit comes after `to` are not read yet. `resume` (when given) gets the time from which a
// receiver that stays open goes on: before a character still in progress, else `to`.
std::vector<TReceivedByte> Receive(const TBitStream& line, const TLineFormat& format, double from, double to,
                                   double* resume = nullptr);

} // namespace rv58
