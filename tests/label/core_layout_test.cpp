#include "core_testutil.h"

#include <gtest/gtest.h>

using namespace rv58;
using rv58::test::TFixedMeasurer;

namespace {

// Fixed metrics: 10 px per character; 8 pt text is 16 high with descent 4.
class LayoutTest : public ::testing::Test {
protected:
  LayoutTest() : core(measurer) {}

  void Lay(std::u16string caption) {
    core.Caption = std::move(caption);
    core.Rebuild();
    // What the widget's next paint does after a size change.
    for (int i = 0; i < 3 && core.RelayoutPending; ++i) {
      core.RelayoutPending = false;
      core.LayoutLines();
    }
  }
  const TWordInfo& Word(std::u16string_view text, int nth = 0) const {
    for (const auto& t : core.Tokens()) {
      if (t->Text == text && nth-- == 0) {
        return *t;
      }
    }
    throw std::runtime_error("no such token");
  }
  const TLineInfo& Line(std::size_t i) const { return *core.Lines().at(i); }
  bool InNoLine(const TWordInfo& t) const {
    for (const auto& l : core.Lines()) {
      for (const TWordInfo* item : l->Items) {
        if (item == &t) {
          return false;
        }
      }
    }
    return true;
  }

  TFixedMeasurer measurer;
  TMDLabelCore core;
};

TEST_F(LayoutTest, EmptyCaptionAndBreaksGiveLinesAsHighAsASpace) {
  Lay(u"");
  ASSERT_EQ(core.Lines().size(), 1u);
  EXPECT_EQ(core.Width, 0);
  EXPECT_EQ(core.Height, 16);
  EXPECT_EQ(core.TextHeight, 16);

  Lay(u"<br><br>");
  ASSERT_EQ(core.Lines().size(), 3u);
  for (const auto& l : core.Lines()) {
    EXPECT_EQ(l->Height, 16);
    EXPECT_TRUE(l->Items.empty());
  }
  EXPECT_EQ(core.Height, 48);
}

TEST_F(LayoutTest, AutoWidthNeverWraps) {
  core.Width = 30;
  Lay(u"aaaa bbbb cc<br>dd");
  ASSERT_EQ(core.Lines().size(), 2u);
  EXPECT_EQ(core.Width, 120);
  EXPECT_EQ(Word(u"cc").Rect, (TRect{100, 0, 120, 16}));
  EXPECT_EQ(Word(u"dd").Rect, (TRect{0, 16, 20, 32}));
  EXPECT_EQ(core.Height, 32);
}

TEST_F(LayoutTest, WrapsBeforeTheFirstWordPastTheWidth) {
  core.AutoSizeWidth = false;
  core.Width = 500;
  std::u16string text;
  for (int i = 0; i < 12; ++i) {
    text += u"abcd ";
  }
  Lay(text);
  ASSERT_EQ(core.Lines().size(), 2u);
  // Word k spans 50k .. 50k+40: the eleventh (540) is the first past 500.
  EXPECT_EQ(Line(0).Items.size(), 19u);
  EXPECT_EQ(Line(0).Width, 490);
  EXPECT_EQ(Line(0).Items.back()->Rect, (TRect{450, 0, 490, 16}));
  EXPECT_TRUE(InNoLine(*core.Tokens()[19]));
  EXPECT_EQ(Line(1).Items.front()->Rect, (TRect{0, 16, 40, 32}));
  EXPECT_EQ(core.Width, 500);
  EXPECT_EQ(core.Height, 32);
}

TEST_F(LayoutTest, AWordWiderThanTheWidthStandsAlone) {
  core.AutoSizeWidth = false;
  core.Width = 50;
  Lay(u"ab abcdefghij cd");
  ASSERT_EQ(core.Lines().size(), 3u);
  EXPECT_EQ(Line(0).Width, 20);
  ASSERT_EQ(Line(1).Items.size(), 1u);
  EXPECT_EQ(Word(u"abcdefghij").Rect, (TRect{0, 16, 100, 32}));
  EXPECT_EQ(Line(1).Width, 100);
  EXPECT_EQ(Word(u"cd").Rect, (TRect{0, 32, 20, 48}));
  EXPECT_EQ(core.Width, 50);
}

TEST_F(LayoutTest, EllipsisUnderMaxWidth) {
  core.MaxWidth = 100;
  for (int startWidth : {100, 1000}) {
    core.Width = startWidth;
    Lay(u"abcdefghijklmno");
    // 7 characters and "..." make exactly 100.
    EXPECT_EQ(core.Tokens()[0]->Text, u"abcdefg...") << startWidth;
    EXPECT_EQ(core.Tokens()[0]->Rect, (TRect{0, 0, 100, 16}));
    EXPECT_EQ(core.Width, 100);
  }
  core.MaxWidth = 20;
  Lay(u"abcdef");
  EXPECT_EQ(core.Tokens()[0]->Text, u"...");
  EXPECT_EQ(core.Width, 20);
  // Without a maximum the label grows instead.
  core.MaxWidth = 0;
  Lay(u"abcdefghijklmno");
  EXPECT_EQ(core.Tokens()[0]->Text, u"abcdefghijklmno");
  EXPECT_EQ(core.Width, 150);
}

TEST_F(LayoutTest, EllipsisKeepsSurrogatePairsWhole) {
  core.MaxWidth = 70;
  // Each emoji is two units (20 px here); a cut between its halves would show garbage.
  Lay(u"\U0001F600\U0001F600\U0001F600\U0001F600");
  EXPECT_EQ(core.Tokens()[0]->Text, u"\U0001F600\U0001F600...");
  core.MaxWidth = 60;
  Lay(u"\U0001F600\U0001F600\U0001F600\U0001F600");
  EXPECT_EQ(core.Tokens()[0]->Text, u"\U0001F600...");
}

TEST_F(LayoutTest, TabStops) {
  Lay(u"a<t>b");
  EXPECT_EQ(Word(u"b").Rect.Left, 50);
  Lay(u"abcdefghijklmnop<t>b");
  EXPECT_EQ(Word(u"b").Rect.Left, 200);
  Lay(u"a<t:120>b");
  EXPECT_EQ(Word(u"b").Rect.Left, 120);
  core.AutoSizeWidth = false;
  core.Width = 100;
  Lay(u"a<t:120>b");
  EXPECT_EQ(Word(u"b").Rect.Left, 10);
  Lay(u"abcdefgh<t:50>b");
  EXPECT_EQ(Word(u"b").Rect.Left, 80);
}

TEST_F(LayoutTest, IndentingTabHangsWrappedLines) {
  core.AutoSizeWidth = false;
  core.Width = 100;
  Lay(u"<tf:30>aa bb cc dd ee<br>ff gg hh ii");
  EXPECT_EQ(Word(u"aa").Rect.Left, 30);
  EXPECT_EQ(Word(u"bb").Rect.Left, 60);
  EXPECT_EQ(Word(u"cc").Rect, (TRect{30, 16, 50, 32}));
  EXPECT_EQ(Word(u"dd").Rect.Left, 60);
  EXPECT_EQ(Word(u"ee").Rect, (TRect{30, 32, 50, 48}));
  EXPECT_EQ(Word(u"ff").Rect.Left, 0);
  EXPECT_EQ(Word(u"hh").Rect.Left, 60);
  EXPECT_EQ(Word(u"ii").Rect, (TRect{0, 64, 20, 80}));
}

TEST_F(LayoutTest, CompressedSpaces) {
  core.CompressSpaces = true;
  Lay(u"a   b");
  EXPECT_EQ(Word(u"b").Rect.Left, 20);
  Lay(u"   a<br>\t b");
  EXPECT_EQ(Word(u"a").Rect.Left, 0);
  EXPECT_EQ(Word(u"b").Rect.Left, 0);
  core.CompressSpaces = false;
  Lay(u"a   b");
  EXPECT_EQ(Word(u"b").Rect.Left, 40);
}

TEST_F(LayoutTest, TabCharactersFollowTabWidthButTagsDoNot) {
  Lay(u"a\tb");
  EXPECT_EQ(Word(u"b").Rect.Left, 90);
  core.TabWidth = 4;
  Lay(u"a\t b<t>c");
  EXPECT_EQ(Word(u"b").Rect.Left, 60);
  EXPECT_EQ(Word(u"c").Rect.Left, 100);
  core.TabWidth = 0;
  Lay(u"a\tb");
  EXPECT_EQ(Word(u"b").Rect.Left, 10);
}

TEST_F(LayoutTest, Alignment) {
  core.AutoSizeWidth = false;
  core.Width = 101;
  core.TextAlignment = taCenter;
  Lay(u"abcde<br>abc");
  EXPECT_EQ(Word(u"abcde").Rect, (TRect{25, 0, 75, 16}));
  EXPECT_EQ(Word(u"abc").Rect.Left, 35);
  core.TextAlignment = taRightJustify;
  core.LayoutLines();
  EXPECT_EQ(Word(u"abcde").Rect, (TRect{51, 0, 101, 16}));
}

TEST_F(LayoutTest, MixedSizesShareOneBaseline) {
  Lay(u"<fs:8>a</fs><fs:14>b</fs><br>c");
  const TWordInfo& a = Word(u"a");
  const TWordInfo& b = Word(u"b");
  EXPECT_EQ(Line(0).Height, 28);
  EXPECT_EQ(a.Rect, (TRect{0, 9, 10, 25}));
  EXPECT_EQ(b.Rect, (TRect{10, 0, 20, 28}));
  EXPECT_EQ(a.Rect.Bottom - a.Descent, b.Rect.Bottom - b.Descent);
  EXPECT_EQ(Word(u"c").Rect.Top, 28);
  EXPECT_EQ(core.Height, 44);
}

TEST_F(LayoutTest, DigitSpaceIsAsWideAsAZero) {
  Lay(u"<dsp>x");
  EXPECT_EQ(Word(u"x").Rect.Left, 10);
}

TEST_F(LayoutTest, HeightFollowsTheText) {
  core.AutoSizeHeight = false;
  core.Height = 100;
  Lay(u"a<br>b");
  EXPECT_EQ(core.Height, 32);
  EXPECT_EQ(core.TextHeight, 32);
  core.AutoSizeHeight = true;
  core.Height = 16;
  Lay(u"a");
  EXPECT_EQ(core.TextHeight, 16);
}

// Link interaction on the model: rectangles come from the last paint.
class LinkTest : public LayoutTest {
protected:
  void Paint() {
    core.PaintItems(nullptr);
    if (core.RelayoutPending) {
      core.RelayoutPending = false;
      core.LayoutLines();
      core.PaintItems(nullptr);
    }
  }
  std::optional<TLinkClick> Click(int x, int y) {
    core.MouseDown(true, x, y);
    return core.MouseUp(true, x, y);
  }
};

TEST_F(LinkTest, ClicksCountOnlyOnTheSameWordWithTheLeftButton) {
  Lay(u"Az <a>eszközkezelő indítása</a><br>A .rv5 <a>file társítása</a> a programhoz");
  Paint();
  // "indítása" is 160..240 on line 0; "file" 70..110 on line 1.
  auto click = Click(200, 8);
  ASSERT_TRUE(click);
  EXPECT_EQ(click->LinkIndex, 1);
  EXPECT_EQ(click->LinkText, u"eszközkezelő indítása");
  click = Click(80, 20);
  ASSERT_TRUE(click);
  EXPECT_EQ(click->LinkIndex, 2);
  EXPECT_EQ(click->LinkText, u"file társítása");
  EXPECT_FALSE(Click(10, 8)); // plain text
  core.MouseDown(true, 40, 8);
  EXPECT_FALSE(core.MouseUp(true, 200, 8));
  core.MouseDown(false, 200, 8);
  EXPECT_FALSE(core.MouseUp(true, 200, 8));
  // Edges are inside for clicks...
  EXPECT_TRUE(Click(160, 0));
  EXPECT_TRUE(Click(240, 16));
  // ...but not for hovering.
  EXPECT_FALSE(core.MouseMove(200, 0).OverLink);
  EXPECT_FALSE(core.MouseMove(200, 16).OverLink);
  EXPECT_TRUE(core.MouseMove(200, 1).OverLink);
}

TEST_F(LinkTest, HoverSwitchesTheWholeLinkToItsHoverFont) {
  core.LinkFontHover.Size = 10; // larger when hovered: layout must follow
  Lay(u"x <a>ab cd</a> e");
  Paint();
  EXPECT_EQ(core.FontFor(Word(u"cd")).Color, clLinkBlue);
  const auto move = core.MouseMove(25, 8);
  EXPECT_TRUE(move.HoverChanged);
  EXPECT_TRUE(move.OverLink);
  core.LayoutLines();
  for (auto w : {u"ab", u"cd"}) {
    EXPECT_EQ(core.FontFor(Word(w)).Color, clLinkRed);
    EXPECT_EQ(core.FontFor(Word(w)).Style, TFontStyles(fsUnderline));
    EXPECT_EQ(Word(w).Height, 20);
  }
  EXPECT_EQ(core.FontFor(Word(u"e")).Color, 0u);
  EXPECT_FALSE(core.MouseMove(25, 8).HoverChanged);
  EXPECT_TRUE(core.MouseLeave());
  core.LayoutLines();
  EXPECT_EQ(core.FontFor(Word(u"ab")).Color, clLinkBlue);
  EXPECT_EQ(Word(u"ab").Height, 16);
}

TEST_F(LinkTest, TargetIsReportedInPlaceOfTheText) {
  Lay(u"<a:cmd1>run now</a> <a>run now</a>");
  Paint();
  auto click = Click(5, 8);
  ASSERT_TRUE(click);
  EXPECT_EQ(click->LinkText, u"cmd1");
  click = Click(85, 8);
  ASSERT_TRUE(click);
  EXPECT_EQ(click->LinkIndex, 2);
  EXPECT_EQ(click->LinkText, u"run now");
}

TEST_F(LinkTest, LinkTokensNotDrawnAreNotClickable) {
  core.AutoSizeWidth = false;
  core.Width = 60;
  // The link's blank overflows and is dropped, so only two of its three tokens are drawn;
  // the third rectangle must not stay at 0,0 where plain text is.
  Lay(u"x <a>abcd efgh</a>");
  Paint();
  ASSERT_EQ(core.LinkRects().size(), 3u);
  int placed = 0;
  for (const auto& r : core.LinkRects()) {
    placed += r.Rect.Right > r.Rect.Left ? 1 : 0;
  }
  EXPECT_EQ(placed, 2);
  EXPECT_FALSE(Click(0, 0));
  EXPECT_TRUE(Click(30, 8));
  EXPECT_TRUE(Click(20, 24));
}

TEST_F(LinkTest, NoLinksNoClicks) {
  Lay(u"plain text");
  Paint();
  EXPECT_FALSE(core.MouseMove(5, 5).OverLink);
  EXPECT_FALSE(Click(5, 5));
}

} // namespace
