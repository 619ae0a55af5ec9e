#include "core_testutil.h"

#include <gtest/gtest.h>

#include <random>

using namespace rv58;
using rv58::test::Describe;
using rv58::test::Narrow;
using rv58::test::TFixedMeasurer;
using Strings = std::vector<std::string>;

namespace {

class MarkupTest : public ::testing::Test {
protected:
  MarkupTest() : core(measurer) { core.Font.Color = 0x123456; }

  const TMDLabelCore& Read(std::u16string caption) {
    core.Caption = std::move(caption);
    core.Rebuild();
    return core;
  }
  const TWordInfo& Token(std::size_t i) const { return *core.Tokens().at(i); }
  // The first token whose text is `text`.
  const TWordInfo& Word(std::u16string_view text) const {
    for (const auto& t : core.Tokens()) {
      if (t->Text == text) {
        return *t;
      }
    }
    throw std::runtime_error("no such token");
  }

  TFixedMeasurer measurer;
  TMDLabelCore core;
};

TEST_F(MarkupTest, InformationPageCaptions) {
  Read(u"Elérhető soros portok (<a>frissítés</a>)");
  EXPECT_EQ(Describe(core), (Strings{"W:El?rhet?", "S:_", "W:soros", "S:_", "W:portok", "S:_", "W:(",
                                     "W:friss?t?s@1", "W:)"}));
  ASSERT_EQ(core.Links().size(), 1u);
  EXPECT_EQ(core.Links()[0].LinkIndex, 1);
  EXPECT_EQ(core.Links()[0].Text, u"frissítés");
  EXPECT_EQ(core.Links()[0].Target, u"");
  EXPECT_EQ(core.LinkRects().size(), 1u);

  Read(u"Az <a>eszközkezelő indítása</a><br>A .rv5 <a>file társítása</a> a programhoz");
  EXPECT_EQ(Describe(core),
            (Strings{"W:Az", "S:_", "W:eszk?zkezel?@1", "S:_@1", "W:ind?t?sa@1", "BR", "W:A", "S:_", "W:.rv5",
                     "S:_", "W:file@2", "S:_@2", "W:t?rs?t?sa@2", "S:_", "W:a", "S:_", "W:programhoz"}));
  ASSERT_EQ(core.Links().size(), 2u);
  EXPECT_EQ(core.Links()[0].Text, u"eszközkezelő indítása");
  EXPECT_EQ(core.Links()[1].LinkIndex, 2);
  EXPECT_EQ(core.Links()[1].Text, u"file társítása");
  EXPECT_EQ(core.LinkRects().size(), 6u);
}

TEST_F(MarkupTest, LinksAreNumberedFromScratchOnEveryRebuild) {
  Read(u"<a>x<a>");
  ASSERT_EQ(core.Links().size(), 2u);
  EXPECT_EQ(core.Links()[0].Text, u"x");
  EXPECT_EQ(core.Links()[1].LinkIndex, 2);
  EXPECT_EQ(core.Links()[1].Text, u"");

  Read(u"<a>one</a> <a: cmd 1 >two</a> </a>three");
  for (int round = 0; round < 2; ++round) {
    core.Rebuild();
    ASSERT_EQ(core.Links().size(), 2u);
    EXPECT_EQ(core.Links()[0].LinkIndex, 1);
    EXPECT_EQ(core.Links()[0].Text, u"one");
    EXPECT_EQ(core.Links()[1].LinkIndex, 2);
    EXPECT_EQ(core.Links()[1].Text, u"two");
    EXPECT_EQ(core.Links()[1].Target, u"cmd 1");
    EXPECT_EQ(core.LinkRects().size(), 2u);
    EXPECT_EQ(Word(u"three").LinkIndex, 0);
  }
  Read(u"<a:x<y >z</a>");
  ASSERT_EQ(core.Links().size(), 1u);
  EXPECT_EQ(core.Links()[0].Target, u"x<y");
}

TEST_F(MarkupTest, StyleTagsIgnoreCaseAndDoNotNest) {
  Read(u"<B>x</B>y<b><b>z</b>w< b>v</ b>u");
  EXPECT_EQ(Word(u"x").Style, TFontStyles(fsBold));
  EXPECT_EQ(Word(u"y").Style, 0u);
  EXPECT_EQ(Word(u"w").Style, 0u);
  EXPECT_EQ(Word(u"v").Style, TFontStyles(fsBold));
  EXPECT_EQ(Word(u"u").Style, 0u);
  Read(u"<i><u><s>a</i></u></s>b");
  EXPECT_EQ(Word(u"a").Style, TFontStyles(fsItalic | fsUnderline | fsStrikeOut));
  EXPECT_EQ(Word(u"b").Style, 0u);
}

TEST_F(MarkupTest, IndentingTabNeedsLowerCaseF) {
  Read(u"<TF:100>x");
  EXPECT_EQ(Describe(core), (Strings{"W:<TF:100>x"}));
  Read(u"<Tf:100>x<T:$1F>y<t:12345>z");
  EXPECT_EQ(Describe(core), (Strings{"TABF:100", "W:x", "TAB:31", "W:y", "W:z"}));
  Read(u"<t:>x <tf>y");
  EXPECT_EQ(Describe(core), (Strings{"W:<t:>x", "S:_", "W:<tf>y"}));
}

TEST_F(MarkupTest, ColourForms) {
  Read(u"<c:clred>a</c>b");
  EXPECT_EQ(Word(u"a").Color, 0x0000FFu);
  EXPECT_EQ(Word(u"b").Color, 0x123456u);
  Read(u"</c></c>a");
  EXPECT_EQ(Word(u"a").Color, 0x123456u);
  Read(u"<c:$FF>a<c:255>b<c:CLRED>c<fc:16777471>d");
  for (auto w : {u"a", u"b", u"c", u"d"}) {
    EXPECT_EQ(Word(w).Color, 0x0000FFu) << Narrow(w);
  }
  Read(u"<c:$123>a<c:clskyblue>b<c:clPink>c");
  EXPECT_EQ(Word(u"a").Color, 0x000123u);
  EXPECT_EQ(Word(u"b").Color, 0xF0CAA6u);
  EXPECT_EQ(Word(u"c").Color, 0x9314FFu);
  // Values that do not convert are consumed without effect.
  Read(u"<c:clblue>w<c:$1234567>x<c:cxyz>y<c:$>z<c:123456789>v");
  for (auto w : {u"w", u"x", u"y", u"z", u"v"}) {
    EXPECT_EQ(Word(w).Color, 0xFF0000u) << Narrow(w);
  }
  EXPECT_EQ(core.Tokens().size(), 5u);
  Read(u"<c:red>");
  EXPECT_EQ(Describe(core), (Strings{"W:<c:red>"}));
  Read(u"<c: clred>x");
  EXPECT_EQ(Describe(core), (Strings{"W:<c:", "S:_", "W:clred>x"}));
}

TEST_F(MarkupTest, OneBlankBeforeTheClosingBracketOfAValuedTag) {
  Read(u"<c:clred >x");
  EXPECT_EQ(Describe(core), (Strings{"W:x"}));
  EXPECT_EQ(Word(u"x").Color, 0x0000FFu);
  Read(u"<c:clred  >x");
  EXPECT_EQ(Describe(core), (Strings{"W:<c:clred", "S:__", "W:>x"}));
  EXPECT_EQ(Token(0).Color, 0x123456u);
  Read(u"<b >x");
  EXPECT_EQ(Describe(core), (Strings{"W:<b", "S:_", "W:>x"}));
}

TEST_F(MarkupTest, BackgroundAndSizeStacks) {
  Read(u"<bc:clyellow>a<bc:$FFFFFF>b</bc>c</bc>d</bc>");
  EXPECT_EQ(Word(u"a").BgColor, 0x00FFFFu);
  EXPECT_EQ(Word(u"b").BgColor, 0xFFFFFFu);
  EXPECT_EQ(Word(u"c").BgColor, 0x00FFFFu);
  EXPECT_EQ(Word(u"d").BgColor, clNoBackground);
  Read(u"<fs:12>a<fs:999>b</fs>c</fs></fs>d<fs:1234>e");
  EXPECT_EQ(Word(u"a").Size, 12);
  EXPECT_EQ(Word(u"b").Size, 999);
  EXPECT_EQ(Word(u"c").Size, 12);
  EXPECT_EQ(Word(u"d").Size, 8);
  EXPECT_EQ(Word(u"e").Size, 8);
}

TEST_F(MarkupTest, TagsAtTheVeryEnd) {
  Read(u"x<t>");
  EXPECT_EQ(Describe(core), (Strings{"W:x"}));
  Read(u"x<t>y");
  EXPECT_EQ(Describe(core), (Strings{"W:x", "TAB:0", "W:y"}));
  for (auto caption : {u"x<dsp>", u"x<c:clred>", u"x<fs:12>", u"x<bc:1>", u"x<t:5>", u"x<tf:5>", u"x<b",
                       u"x<a:tgt", u"x<c:12"}) {
    Read(caption);
    EXPECT_EQ(Describe(core), (Strings{"W:x"})) << Narrow(caption);
  }
  Read(u"x<dsp>y");
  EXPECT_EQ(Describe(core), (Strings{"W:x", "DSP", "W:y"}));
  EXPECT_EQ(Token(1).Text, u"  ");
  Read(u"x<br>");
  EXPECT_EQ(Describe(core), (Strings{"W:x", "BR"}));
  Read(u"x<");
  EXPECT_EQ(Describe(core), (Strings{"W:x", "W:<"}));
  Read(u"x</");
  EXPECT_EQ(Describe(core), (Strings{"W:x", "W:</"}));
}

TEST_F(MarkupTest, MalformedTagsShowAsTypedOrAreDropped) {
  Read(u"1 <2");
  EXPECT_EQ(Describe(core), (Strings{"W:1", "S:_", "W:<2"}));
  Read(u"<bold>");
  EXPECT_EQ(Describe(core), (Strings{"W:<bold>"}));
  Read(u"<bx y");
  EXPECT_EQ(Describe(core), (Strings{"S:_", "W:y"}));
  Read(u"a>b <<b>c <x");
  EXPECT_EQ(Describe(core), (Strings{"W:a>b", "S:_", "W:c", "S:_", "W:<x"}));
  EXPECT_EQ(Word(u"c").Style, TFontStyles(fsBold));
  Read(u"</x>");
  EXPECT_EQ(Describe(core), (Strings{"W:</x>"}));
  // Gone wrong at a '<': the whole tag is one plain word, and that '<' opens no tag.
  Read(u"<b<i>x <c:clred<b>x");
  EXPECT_EQ(Describe(core), (Strings{"W:<b<i>x", "S:_", "W:<c:clred<b>x"}));
  EXPECT_EQ(Token(0).Style | Token(2).Style, 0u);
  EXPECT_EQ(Token(2).Color, 0x123456u);
}

TEST_F(MarkupTest, Entities) {
  Read(u"a&lt;b&gt; &foo; a&b &; &AMP;&nbsp;x &bull;&euro;&trade; a&b&lt;");
  ASSERT_EQ(core.Tokens().size(), 13u);
  EXPECT_EQ(Token(0).Text, u"a<b>");
  EXPECT_EQ(Token(2).Text, u"foo");
  EXPECT_EQ(Token(4).Text, u"a&b");
  EXPECT_EQ(Token(6).Text, u"");
  EXPECT_EQ(Token(8).Text, u"& x");
  EXPECT_EQ(Token(8).Class(), TTokenClass::Word);
  EXPECT_EQ(Token(12).Text, u"a&b<");
  Read(u"&bull;&euro;&trade;&cent;&copy;&reg;&ndash;");
  EXPECT_EQ(Token(0).Text, u"\u2022\u20AC\u2122\u00A2\u00A9\u00AE\u2013");
  // A decoded '<' is never a tag.
  Read(u"&lt;b&gt;x");
  EXPECT_EQ(Describe(core), (Strings{"W:<b>x"}));
}

TEST_F(MarkupTest, LineFeedIsABlankAndCarriageReturnIsNothing) {
  Read(u"a\r\nb\rc\t d");
  EXPECT_EQ(Describe(core), (Strings{"W:a", "S:_", "W:b", "S:", "W:c", "S:T_", "W:d"}));
}

TEST_F(MarkupTest, LinkStyleHookSeesEveryLinkAndMayChangeItsFonts) {
  std::vector<std::pair<int, std::u16string>> seen;
  core.OnGetLinkStyle = [&](int index, const std::u16string& text, TLabelFont& normal, TLabelFont& hover) {
    seen.emplace_back(index, text);
    if (index == 2) {
      normal.Color = 0x00FF00;
      hover.Style = fsBold;
    }
  };
  Read(u"<a>one</a> <a>two</a>");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], (std::pair<int, std::u16string>{2, u"two"}));
  EXPECT_EQ(core.Links()[0].FontNormal.Color, clLinkBlue);
  EXPECT_EQ(core.Links()[1].FontNormal.Color, 0x00FF00u);
  EXPECT_EQ(core.Links()[1].FontHover.Style, TFontStyles(fsBold));
  EXPECT_EQ(core.FontFor(Word(u"two")).Color, 0x00FF00u);
}

TEST(Utf8Test, StrictDecoding) {
  EXPECT_EQ(DecodeUtf8Strict("Elérhető"), u"Elérhető");
  EXPECT_EQ(DecodeUtf8Strict("\xF0\x9F\x98\x80"), std::u16string(u"\U0001F600"));
  EXPECT_EQ(DecodeUtf8Strict(""), u"");
  for (const char* bad : {"\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xE2\x82", "\xF4\x90\x80\x80", "\x80",
                          "a\xFF", "\xC3", "\xF8\x88\x80\x80\x80"}) {
    EXPECT_FALSE(DecodeUtf8Strict(bad)) << bad;
  }
  const std::u16string mixed = u"ő\U0001F600x";
  EXPECT_EQ(DecodeUtf8Strict(EncodeUtf8(mixed)), mixed);
  EXPECT_EQ(EncodeUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

// Hostile captions end quickly and keep every token inside the caption.
TEST_F(MarkupTest, HostileCaptionsNeitherCrashNorHang) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> byte(0, 255);
  const std::u16string alphabet = u"<>/:$&; \tabcfinrstuABCd0129ő\r\n";
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(std::size_t(1 + round * 7), '\0');
    for (char& c : bytes) {
      c = char(byte(rng));
    }
    if (auto text = DecodeUtf8Strict(bytes)) {
      Read(*text);
    }
    std::u16string text(std::size_t(1 + round * 3), u' ');
    for (char16_t& c : text) {
      c = alphabet[pick(rng)];
    }
    Read(text);
    std::size_t visible = 0;
    for (const auto& t : core.Tokens()) {
      visible += t->Text.size();
    }
    EXPECT_LE(visible, text.size() * 5) << Narrow(text);
  }

  std::u16string nested;
  for (int i = 0; i < 10000; ++i) {
    nested += u"<b><c:clred><bc:$00FF00><fs:12><a:t>x";
  }
  Read(nested);
  EXPECT_EQ(core.Links().size(), 10000u);
  EXPECT_EQ(core.Tokens().size(), 10000u);

  const std::size_t mega = std::size_t(1) << 20;
  Read(std::u16string(mega, u'w'));
  ASSERT_EQ(core.Tokens().size(), 1u);
  EXPECT_EQ(core.Tokens()[0]->Width, int(mega) * 10);
  for (auto unit : {u"<", u"< ", u"<b", u"<c:$F", u"< bq", u"&", u"<a:"}) {
    std::u16string text;
    while (text.size() < mega / 4) {
      text += unit;
    }
    Read(text);
    EXPECT_LE(core.Tokens().size(), text.size()) << Narrow(unit);
  }
  Read(u"<c:" + std::u16string(mega, u'9') + u">x" + u"<t:$" + std::u16string(mega, u'F') + u">y");
  EXPECT_EQ(Describe(core), (Strings{"W:x", "W:y"}));
}

} // namespace
