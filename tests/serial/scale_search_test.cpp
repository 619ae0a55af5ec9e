// The search on the line simulator: realistic scale outputs at every speed and usual format.
#include "scalesearch.h"
#include "testutil_framesettings.h"

#include <gtest/gtest.h>

namespace rv58 {
namespace {

using test::FrameSettingsOf;

// A scale that sends one frame every half second, cycling through its weights.
TBitStream Scale(const TLineFormat& format, const std::vector<std::string>& frames, double seconds = 40) {
  TBitStream line;
  for (std::size_t i = 0; i * 0.5 < seconds; ++i)
    Transmit(line, format, 0.013 + static_cast<double>(i) * 0.5, frames[i % frames.size()]);
  return line;
}

struct Output {
  const char* name;
  std::vector<std::string> frames;
  FrameSettings expected; // tm, kr, le, lh, nm, tp
};

const std::vector<Output>& Outputs() {
  static const std::vector<Output> outputs = {
      {"ST,GS CR LF",
       {"ST,GS,+0001.23kg\r\n", "ST,GS,+0001.25kg\r\n", "ST,GS,+0012.50kg\r\n"},
       FrameSettingsOf(10, 10, 6, 3, true, 2)},
      {"signed", {"ST,GS,+0001.23kg\r\n", "ST,GS,-0000.75kg\r\n"}, FrameSettingsOf(10, 10, 6, 3, true, 2)},
      {"blank padded CR",
       {"    12.5 kg\r", "   112.0 kg\r", "     0.5 kg\r"},
       FrameSettingsOf(13, 13, 2, 3, false, 1)},
      {"STX ETX",
       {"\x02S  12.35kg\x03", "\x02S 102.50kg\x03", "\x02S   0.00kg\x03"},
       FrameSettingsOf(3, 3, 3, 2, false, 2)},
  };
  return outputs;
}

bool SameFields(const FrameSettings& a, const FrameSettings& b) {
  return a.tm == b.tm && a.kr == b.kr && a.le == b.le && a.lh == b.lh && a.nm == b.nm && a.tp == b.tp;
}

TEST(ScaleSearch, FrameSettingsOfRealisticOutputs) {
  for (const auto& o : Outputs()) {
    std::string stream = o.frames.back().substr(5); // listening began inside a frame
    for (int i = 0; i < 4; ++i)
      for (const auto& f : o.frames)
        stream += f;
    const auto a = AnalyseFrames(stream);
    ASSERT_TRUE(a.found) << o.name;
    EXPECT_TRUE(SameFields(a.settings, o.expected))
        << o.name << ": tm " << a.settings.tm << " le " << a.settings.le << " lh " << a.settings.lh << " nm "
        << a.settings.nm << " tp " << a.settings.tp;
    EXPECT_EQ(a.frames.back(), o.frames.back()) << o.name;
    ASSERT_EQ(a.suggestions.size(), 8u);
    for (const auto& s : a.suggestions)
      EXPECT_FALSE(s.frames.empty()) << o.name << " " << s.key;
  }
  EXPECT_FALSE(AnalyseFrames("12345").found);
}

TEST(ScaleSearch, FindsEverySpeedAndFormatWithinItsTime) {
  // Every speed, every format with 7 or 8 data bits: the answer is a format that reads the line
  // (a receiver checks one stop bit, so 8N2 is read as 8N1 and 7N1 as 7N2).
  for (const auto& o : Outputs())
    for (std::int32_t bd = 0; bd < 11; ++bd)
      for (std::int32_t pr = 0; pr < 24; ++pr) {
        const auto sent = TLineFormat::FromIndices(bd, pr);
        const double airtime = static_cast<double>(o.frames[0].size()) *
                               (2 + sent.dataBits + (sent.parity != ptNONE) + sent.stopBits - 1) / sent.baud;
        if (sent.dataBits < 7 || airtime > 0.4)
          continue; // the line cannot carry 2 such frames a second with a pause between them
        // Listening starts at another moment of the scale's cycle for each pair.
        const double start = 0.05 * ((bd * 7 + pr) % 10);
        TLineSearch search;
        const double took = RunSearchOnLine(search, Scale(sent, o.frames), start) - start;
        const auto r = search.Result();
        const std::string what = std::string(o.name) + " at " + sent.Name();
        ASSERT_EQ(r.outcome, TSearchOutcome::soFOUND) << what;
        EXPECT_EQ(r.format.baud, sent.baud) << what;
        EXPECT_EQ(r.format.dataBits, sent.dataBits) << what;
        EXPECT_EQ(r.format.parity, sent.parity) << what;
        EXPECT_TRUE(SameFields(r.frames.settings, o.expected))
            << what << ": tm " << r.frames.settings.tm << " le " << r.frames.settings.le << " lh "
            << r.frames.settings.lh;
        EXPECT_LT(took, 30.0) << what;
      }
}

TEST(ScaleSearch, SilentLineAndNoise) {
  TLineSearch silent;
  const double took = RunSearchOnLine(silent, TBitStream{}, 0);
  EXPECT_EQ(silent.Result().outcome, TSearchOutcome::soNODATA);
  EXPECT_LT(took, 30.0);

  std::mt19937 random(3);
  for (const double hold : {1.0 / 300, 1.0 / 9600, 1.0 / 50000}) {
    TBitStream noise;
    AddNoise(noise, random, 0, 40, hold);
    TLineSearch search;
    RunSearchOnLine(search, noise, 0);
    EXPECT_EQ(search.Result().outcome, TSearchOutcome::soGARBLED) << hold;
  }
}

TEST(ScaleSearch, StopGivesWhatWasHeard) {
  TLineSearch search;
  search.Feed("", 0, 0.1);
  search.Stop();
  EXPECT_TRUE(search.Done());
  EXPECT_EQ(search.Progress(), 1.0);
  EXPECT_EQ(search.Result().outcome, TSearchOutcome::soNODATA);
}

} // namespace
} // namespace rv58
