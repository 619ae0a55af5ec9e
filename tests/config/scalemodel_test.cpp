#include "scalemodel.h"
#include "testutil_framesettings.h"

#include <gtest/gtest.h>

namespace {

using rv58::FrameKind;
using rv58::FrameSettings;
using rv58::test::FrameSettingsOf;

TEST(ScaleModel, FramesEndAtTheTerminatorAndIncludeIt) {
  struct Case {
    int tm;
    std::vector<std::string> chunks;
    std::vector<std::string> frames;
    std::string pending;
  };
  const Case cases[] = {
      {10, {"A\r\nB\r\n"}, {"A\r\n", "B\r\n"}, ""},
      {13, {"A\r\nB"}, {"A\r"}, "\nB"},
      {10, {"AB", "C\r", "\nD"}, {"ABC\r\n"}, "D"},
      {2,
       {"\x02"
        "12\x03\x02"
        "13\x03"},
       {"\x02", "12\x03\x02"},
       "13\x03"},
      {-1, {"A\r\n"}, {}, "A\r\n"}, // no terminator: nothing is cut
  };
  for (const auto& c : cases) {
    rv58::TFrameSplitter splitter(c.tm);
    std::vector<std::string> frames;
    for (const auto& chunk : c.chunks)
      for (auto& f : splitter.Feed(chunk))
        frames.push_back(f);
    EXPECT_EQ(frames, c.frames) << c.tm;
    EXPECT_EQ(splitter.Pending(), c.pending) << c.tm;
  }
  rv58::TFrameSplitter bounded(10, 4);
  bounded.Feed("abcdefgh");
  EXPECT_EQ(bounded.Pending(), "efgh");
}

TEST(ScaleModel, ShownTextFollowsEachRule) {
  struct Case {
    const char* rule;
    FrameSettings s;
    std::string frame;
    FrameKind kind;
    std::string text;
    bool fits;
  };
  const Case cases[] = {
      {"cut, zeros", FrameSettingsOf(10, 10, 7, 3, true, 0), "ST,GS,+0001.23kg\r\n", FrameKind::fkOK, "1.23",
       true},
      {"valid needs kr", FrameSettingsOf(13, 'S', 0, 0, false, 0), "123\r", FrameKind::fkINVALID, "", true},
      {"kr anywhere", FrameSettingsOf(13, 'S', 2, 0, false, 0), "S 123\r", FrameKind::fkOK, "123", true},
      {"no kr chosen", FrameSettingsOf(13, -1, 0, 0, false, 0), "7\r", FrameKind::fkOK, "7", true},
      {"error char", FrameSettingsOf(13, 13, 0, 0, false, 0, 0, 'r'), "Err\r", FrameKind::fkERROR, "ERROR",
       true},
      {"error needs valid", FrameSettingsOf(13, 'X', 0, 0, false, 0, 0, 'r'), "Err\r", FrameKind::fkINVALID,
       "", true},
      {"cut it all", FrameSettingsOf(13, 13, 3, 3, false, 0), "1234\r", FrameKind::fkOK, "", true},
      {"blanks stay", FrameSettingsOf(13, 13, 0, 3, false, 0), "    12.5 kg\r", FrameKind::fkOK, "    12.5",
       false},
      {"zeros 000123", FrameSettingsOf(13, 13, 0, 0, true, 0), "000123\r", FrameKind::fkOK, "123", true},
      {"lone zero", FrameSettingsOf(13, 13, 0, 0, true, 0), "0000\r", FrameKind::fkOK, "0", true},
      {"zero before point", FrameSettingsOf(13, 13, 0, 0, true, 0), "000.5\r", FrameKind::fkOK, "0.5", true},
      {"zeros after sign", FrameSettingsOf(13, 13, 0, 0, true, 0), "-0012\r", FrameKind::fkOK, "-12", true},
      {"zeros kept off", FrameSettingsOf(13, 13, 0, 0, false, 0), "0012\r", FrameKind::fkOK, "0012", true},
      {"point placed", FrameSettingsOf(13, 13, 0, 0, true, 2), "000123\r", FrameKind::fkOK, "1.23", true},
      {"point padded", FrameSettingsOf(13, 13, 0, 0, true, 2), "0005\r", FrameKind::fkOK, "0.05", true},
      {"own point wins", FrameSettingsOf(13, 13, 0, 0, false, 3), "12.5\r", FrameKind::fkOK, "12.5", true},
      {"point in last digits", FrameSettingsOf(13, 13, 0, 0, false, 1), "125kg\r", FrameKind::fkOK, "12.5kg",
       true},
      {"width 5 with point", FrameSettingsOf(13, 13, 0, 0, false, 0), "123.45\r", FrameKind::fkOK, "123.45",
       true},
      {"wider than 5", FrameSettingsOf(13, 13, 0, 0, false, 0), "123456\r", FrameKind::fkOK, "123456", false},
      {"narrow font 6", FrameSettingsOf(13, 13, 0, 0, false, 0, 2), "123456\r", FrameKind::fkOK, "123456",
       true},
  };
  for (const auto& c : cases) {
    const auto f = rv58::EvaluateFrame(c.s, c.frame);
    EXPECT_EQ(f.kind, c.kind) << c.rule;
    EXPECT_EQ(f.text, c.text) << c.rule;
    EXPECT_EQ(f.fits, c.fits) << c.rule;
  }
  const auto cut = rv58::EvaluateFrame(FrameSettingsOf(10, 10, 7, 3, true, 0), "ST,GS,+0001.23kg\r\n");
  EXPECT_EQ(cut.cutFront, 7u);
  EXPECT_EQ(cut.cutBack, 3u);
}

TEST(ScaleModel, DisplayBlanksFiveSecondsAfterTheLastValidFrameWhenAuIsOn) {
  FrameSettings s = FrameSettingsOf(13, 13, 0, 0, false, 0);
  rv58::TDisplayPreview preview;
  EXPECT_TRUE(preview.Blank(s, 0.0)); // nothing came yet
  preview.Show(rv58::EvaluateFrame(s, "12\r"), 10.0);
  preview.Show(rv58::EvaluateFrame(FrameSettingsOf(13, 'X', 0, 0, false, 0), "99\r"),
               14.0); // invalid: ignored
  struct Case {
    bool au;
    double now;
    std::string text;
  };
  for (const Case& c : {Case{true, 14.9, "12"}, Case{true, 15.0, ""}, Case{false, 100.0, "12"}}) {
    s.au = c.au;
    EXPECT_EQ(preview.Text(s, c.now), c.text) << c.au << " " << c.now;
  }
}

TEST(ScaleModel, FramesForPeopleNameTheirControlCharacters) {
  EXPECT_EQ(rv58::FrameForHuman("\x02"
                                " 12.5 kg\r\n"),
            "<STX> 12.5 kg<CR><LF>");
  EXPECT_EQ(rv58::FrameForHuman(std::string("\0\x1f\x7f", 3)), "<NUL><US><DEL>");
}

} // namespace
