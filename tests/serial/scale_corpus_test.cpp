// Detection on the corpus of indicator formats, through the line simulator: at the format's own
// speed and at a second one, each with the format's character format, the detected settings must
// show every frame as it must be shown, as the settings made by hand do.
#include "scalecorpus.h"
#include "scalesearch.h"

#include <gtest/gtest.h>

#include <sstream>

namespace rv58 {
namespace {

struct TCase {
  std::size_t format;
  std::uint32_t baud;
};

std::vector<TCase> Cases() {
  std::vector<TCase> cases;
  for (std::size_t i = 0; i < corpus::Formats().size(); ++i) {
    const auto own = corpus::Formats()[i].line.baud;
    cases.push_back({i, own});
    cases.push_back({i, own == 9600 ? 4800u : 9600u});
  }
  return cases;
}

class ScaleCorpus : public ::testing::TestWithParam<TCase> {};

std::string Describe(const FrameSettings& s) {
  std::ostringstream out;
  out << "tm " << s.tm << " le " << s.le << " lh " << s.lh << " nm " << s.nm << " tp " << s.tp << " bt "
      << s.bt << " hk " << s.hk;
  return out.str();
}

TEST_P(ScaleCorpus, DetectedSettingsShowEveryFrame) {
  const corpus::TFormat& format = corpus::Formats()[GetParam().format];
  TLineFormat line = format.line;
  line.baud = GetParam().baud;
  const int frames = static_cast<int>(format.frames.size());
  ASSERT_EQ(corpus::FramesShownRight(format, format.best), frames)
      << "the corpus itself: " << Describe(format.best);

  TLineSearch search;
  // Listening starts at another moment of the scale's cycle for each format.
  const double start = 0.07 * static_cast<double>(GetParam().format % 7);
  RunSearchOnLine(search, corpus::Send(format, line, 60), start);
  const TSearchResult r = search.Result();
  ASSERT_EQ(r.outcome, TSearchOutcome::soFOUND);
  EXPECT_EQ(r.format.baud, line.baud);
  EXPECT_EQ(r.format.dataBits, line.dataBits);
  EXPECT_EQ(r.format.parity, line.parity);
  EXPECT_EQ(corpus::FramesShownRight(format, r.frames.settings), frames)
      << Describe(r.frames.settings) << " (by hand: " << Describe(format.best) << ")";
  std::string notes;
  for (const auto& n : r.frames.notes)
    notes += n + "\n";
  if (!format.note.empty()) {
    EXPECT_NE(notes.find(format.note), std::string::npos) << notes;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, ScaleCorpus, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<TCase>& info) {
                           std::string name = std::to_string(info.param.format) + "_" +
                                              corpus::Formats()[info.param.format].name + "_" +
                                              std::to_string(info.param.baud);
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c)))
                               c = '_';
                           return name;
                         });

} // namespace
} // namespace rv58
