#include "linesim.h"

#include "displaysettings.h"

#include <algorithm>
#include <cmath>

namespace rv58 {

namespace {

constexpr std::uint32_t kSpeeds[] = {300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 28800, 38400, 57600};

void Push(TBitStream& line, double time, bool level) {
  if (line.LevelAt(time) == level)
    return;
  if (!line.edges.empty() && line.edges.back().time == time)
    line.edges.back().level = level;
  else
    line.edges.push_back({time, level});
}

bool EvenWeight(unsigned value) {
  return __builtin_popcount(value) % 2 == 0;
}

} // namespace

TLineFormat TLineFormat::FromIndices(std::int32_t bd, std::int32_t pr) {
  TLineFormat f;
  if (bd >= 0 && bd < static_cast<std::int32_t>(std::size(kSpeeds)))
    f.baud = kSpeeds[bd];
  if (pr >= 0 && pr < 24) {
    f.dataBits = 5 + pr % 4;
    f.stopBits = 1 + (pr / 4) % 2;
    // The `pr` list counts none, even, odd.
    constexpr TParity kListed[] = {ptNONE, ptEVEN, ptODD};
    f.parity = kListed[pr / 8];
  }
  return f;
}

std::int32_t TLineFormat::BdIndex() const {
  const auto* at = std::find(std::begin(kSpeeds), std::end(kSpeeds), baud);
  return at == std::end(kSpeeds) ? -1 : static_cast<std::int32_t>(at - std::begin(kSpeeds));
}

std::int32_t TLineFormat::PrIndex() const {
  return rv58::PrIndex(dataBits, parity == ptEVEN ? 1 : parity == ptODD ? 2 : 0, stopBits);
}

std::string TLineFormat::Name() const {
  const char letter = parity == ptEVEN ? 'E' : parity == ptODD ? 'O' : 'N';
  return std::to_string(baud) + " " + std::to_string(dataBits) + letter + std::to_string(stopBits);
}

bool TBitStream::LevelAt(double time) const {
  const auto after =
      std::upper_bound(edges.begin(), edges.end(), time, [](double t, const Edge& e) { return t < e.time; });
  return after == edges.begin() ? true : std::prev(after)->level;
}

double TBitStream::NextFallingEdge(double time) const {
  auto it =
      std::upper_bound(edges.begin(), edges.end(), time, [](double t, const Edge& e) { return t < e.time; });
  for (; it != edges.end(); ++it)
    if (!it->level)
      return it->time;
  return -1.0;
}

double Transmit(TBitStream& line, const TLineFormat& f, double start, std::string_view bytes) {
  const double bit = 1.0 / f.baud;
  double t = start;
  for (const char c : bytes) {
    const unsigned value = static_cast<unsigned char>(c) & ((1u << f.dataBits) - 1);
    Push(line, t, false); // start bit
    t += bit;
    for (int i = 0; i < f.dataBits; ++i, t += bit)
      Push(line, t, (value >> i) & 1u);
    if (f.parity != ptNONE) {
      const bool even = EvenWeight(value);
      Push(line, t, f.parity == ptEVEN ? !even : even);
      t += bit;
    }
    Push(line, t, true);
    t += bit * f.stopBits;
  }
  return t;
}

void AddNoise(TBitStream& line, std::mt19937& random, double start, double end, double meanHold) {
  std::exponential_distribution<double> hold(1.0 / meanHold);
  std::bernoulli_distribution level(0.5);
  for (double t = start; t < end; t += hold(random))
    Push(line, t, level(random));
  Push(line, end, true);
}

std::vector<TReceivedByte> Receive(const TBitStream& line, const TLineFormat& f, double from, double to,
                                   double* resume) {
  if (resume)
    *resume = to;
  std::vector<TReceivedByte> out;
  const double bit = 1.0 / f.baud;
  // An edge right at `from` counts.
  double t = std::nextafter(from, -1.0);
  for (;;) {
    const double edge = line.NextFallingEdge(t);
    if (edge < 0 || edge >= to)
      break;
    if (line.LevelAt(edge + bit / 2)) { // a glitch, not a start bit
      t = edge + bit / 2;
      continue;
    }
    unsigned value = 0;
    for (int i = 0; i < f.dataBits; ++i)
      if (line.LevelAt(edge + bit * (1.5 + i)))
        value |= 1u << i;
    int next = f.dataBits;
    bool parityError = false;
    if (f.parity != ptNONE) {
      const bool p = line.LevelAt(edge + bit * (1.5 + next));
      const bool expected = f.parity == ptEVEN ? !EvenWeight(value) : EvenWeight(value);
      parityError = p != expected;
      ++next;
    }
    const double stopAt = edge + bit * (1.5 + next);
    if (stopAt > to) {
      if (resume)
        *resume = std::nextafter(edge, -1.0);
      break;
    }
    TReceivedByte r;
    r.byte = static_cast<unsigned char>(value);
    r.parityError = parityError;
    r.framingError = !line.LevelAt(stopAt);
    r.time = stopAt;
    out.push_back(r);
    t = stopAt;
  }
  return out;
}

} // namespace rv58
