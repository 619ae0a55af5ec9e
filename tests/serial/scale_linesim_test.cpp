// The line simulator against a bit-by-bit reading of each character, for every speed and format.
#include "linesim.h"

#include <gtest/gtest.h>

namespace rv58 {
namespace {

// The bits a sender puts on the line for one character, then idle.
std::vector<bool> CharacterBits(const TLineFormat& f, unsigned value) {
  value &= (1u << f.dataBits) - 1;
  std::vector<bool> bits{false};
  int ones = 0;
  for (int i = 0; i < f.dataBits; ++i) {
    bits.push_back((value >> i) & 1u);
    ones += (value >> i) & 1u;
  }
  if (f.parity == ptEVEN)
    bits.push_back(ones % 2 == 1);
  if (f.parity == ptODD)
    bits.push_back(ones % 2 == 0);
  bits.resize(16, true);
  return bits;
}

// At one speed every edge falls on a bit boundary, so a receiver is a walk over bit cells: a start
// at a 1 -> 0 boundary, then data, parity and the first stop bit read cell by cell.
std::vector<TReceivedByte> ReadCells(const std::vector<bool>& cells, const TLineFormat& rx) {
  std::vector<TReceivedByte> out;
  bool previous = true;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (!(previous && !cells[i])) {
      previous = cells[i];
      continue;
    }
    const std::size_t stop = i + 1 + static_cast<std::size_t>(rx.dataBits) + (rx.parity != ptNONE ? 1 : 0);
    if (stop >= cells.size())
      break;
    TReceivedByte r;
    int ones = 0;
    for (int b = 0; b < rx.dataBits; ++b) {
      r.byte = static_cast<unsigned char>(r.byte | (cells[i + 1 + static_cast<std::size_t>(b)] << b));
      ones += cells[i + 1 + static_cast<std::size_t>(b)];
    }
    if (rx.parity != ptNONE)
      r.parityError = (ones + cells[stop - 1]) % 2 != (rx.parity == ptEVEN ? 0 : 1);
    r.framingError = !cells[stop];
    out.push_back(r);
    previous = cells[stop];
    i = stop;
  }
  return out;
}

TEST(LineSimulator, AtTheSameSpeedEveryFormatPairReadsWhatTheBitCellsHold) {
  const std::string sample = "ST,GS,+0001.23kg\r\n\x02\x7f\x80\xff";
  for (std::int32_t bd = 0; bd < 11; ++bd)
    for (std::int32_t sent = 0; sent < 24; ++sent)
      for (std::int32_t read = 0; read < 24; ++read) {
        const auto tx = TLineFormat::FromIndices(bd, sent);
        const auto rx = TLineFormat::FromIndices(bd, read);
        // Half the characters back to back, half apart by idle bits.
        TBitStream line;
        std::vector<bool> cells(3, true);
        const double bit = 1.0 / tx.baud;
        double t = 3 * bit;
        for (std::size_t i = 0; i < sample.size(); ++i) {
          t = Transmit(line, tx, t, sample.substr(i, 1));
          const auto bits = CharacterBits(tx, static_cast<unsigned char>(sample[i]));
          const std::size_t length = 2 + static_cast<std::size_t>(tx.dataBits) +
                                     (tx.parity != ptNONE ? 1 : 0) +
                                     static_cast<std::size_t>(tx.stopBits - 1);
          cells.insert(cells.end(), bits.begin(), bits.begin() + static_cast<long>(length));
          const std::size_t idle = i % 2 ? 5 : 0;
          cells.insert(cells.end(), idle, true);
          t += static_cast<double>(idle) * bit;
        }
        cells.insert(cells.end(), 16, true);
        const auto want = ReadCells(cells, rx);
        const auto got = Receive(line, rx, 0, t + 16 * bit);
        ASSERT_EQ(got.size(), want.size()) << tx.Name() << " read as " << rx.Name();
        for (std::size_t i = 0; i < want.size(); ++i) {
          EXPECT_EQ(got[i].byte, want[i].byte) << tx.Name() << " read as " << rx.Name() << " #" << i;
          EXPECT_EQ(got[i].parityError, want[i].parityError) << tx.Name() << " read as " << rx.Name();
          EXPECT_EQ(got[i].framingError, want[i].framingError) << tx.Name() << " read as " << rx.Name();
        }
        if (sent == read) { // the right format reads the bytes back exactly
          for (std::size_t i = 0; i < sample.size(); ++i)
            EXPECT_EQ(got[i].byte, static_cast<unsigned char>(sample[i]) & ((1u << tx.dataBits) - 1));
        }
      }
}

TEST(LineSimulator, AtAnotherSpeedNoFormatPairReadsAFrameBackClean) {
  const std::string frame = "ST,GS,+0001.23kg\r\n";
  for (std::int32_t txBd = 0; txBd < 11; ++txBd)
    for (std::int32_t rxBd = 0; rxBd < 11; ++rxBd) {
      if (txBd == rxBd)
        continue;
      for (std::int32_t sent = 0; sent < 24; ++sent) {
        const auto tx = TLineFormat::FromIndices(txBd, sent);
        TBitStream line;
        const double end = Transmit(line, tx, 0.001, frame);
        for (std::int32_t read = 0; read < 24; ++read) {
          const auto rx = TLineFormat::FromIndices(rxBd, read);
          const auto got = Receive(line, rx, 0, end + 0.1);
          bool clean = got.size() == frame.size();
          for (std::size_t i = 0; clean && i < got.size(); ++i)
            clean = !got[i].framingError && !got[i].parityError &&
                    got[i].byte == (static_cast<unsigned char>(frame[i]) & ((1u << rx.dataBits) - 1));
          EXPECT_FALSE(clean) << tx.Name() << " read as " << rx.Name();
        }
      }
    }
}

TEST(LineSimulator, BackToBackCharactersAndNoise) {
  // Back to back at the same format: exact, whatever the speed.
  const auto f = TLineFormat::FromIndices(3, 10); // 2400 7E1
  TBitStream line;
  const double end = Transmit(line, f, 0.01, "  12.5 kg\r");
  const auto got = Receive(line, f, 0, end);
  std::string text;
  for (const auto& r : got) {
    text += static_cast<char>(r.byte);
    EXPECT_FALSE(r.framingError || r.parityError);
  }
  EXPECT_EQ(text, "  12.5 kg\r");
  EXPECT_EQ(f.Name(), "2400 7E1");
  EXPECT_EQ(f.BdIndex(), 3);
  EXPECT_EQ(f.PrIndex(), 10);
  // Noise gives line errors at any format.
  std::mt19937 random(7);
  TBitStream noise;
  AddNoise(noise, random, 0, 1.0, 1.0 / 5000);
  std::size_t errors = 0;
  for (const auto& r : Receive(noise, TLineFormat::FromIndices(5, 3), 0, 1.0))
    errors += r.framingError;
  EXPECT_GT(errors, 10u);
}

} // namespace
} // namespace rv58
