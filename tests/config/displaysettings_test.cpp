#include "cp1250.h"
#include "displaysettings.h"
#include "message.h"

#include "testutil_cp1250.h"

#include <gtest/gtest.h>

namespace {

using rv58::DisplaySettings;
using rv58::test::ToCp1250;

DisplaySettings Defaults() {
  DisplaySettings s = DisplaySettings::Defaults();
  return s;
}

TEST(ValueLists, HoldTheWindowTextsInWindows1250) {
  // Checked against the C library's converter from readable UTF-8 text.
  EXPECT_EQ(rv58::LevagasItems().front(), ToCp1250("0 (nincs levágás)"));
  EXPECT_EQ(rv58::BtItems(),
            (std::vector<std::string>{ToCp1250("Széles (5 karakter)"), ToCp1250("Vékony (5 karakter)"),
                                      ToCp1250("Keskeny (6 karakter)")}));
  EXPECT_EQ(rv58::FeItems(),
            (std::vector<std::string>{ToCp1250("Automatikus (sötét)"), ToCp1250("Automatikus (közepes)"),
                                      ToCp1250("Automatikus (világos)"), "25%", "50%", "75%", "100%"}));
  EXPECT_EQ(rv58::OraItems(),
            (std::vector<std::string>{ToCp1250("Ne jelenítse meg az órát"),
                                      ToCp1250("Megjelenítés, ha a mért tömeg 0"),
                                      ToCp1250("Megjelenítés, ha a mérleg ki van kapcsolva"),
                                      ToCp1250("Megjelenítés 0 tömegnél, és kikapcsolt állapotban is")}));
  EXPECT_EQ(rv58::VerziogroupItems(),
            (std::vector<std::string>{ToCp1250("1. régi verzió (~2020-2024)"),
                                      ToCp1250("2. új verzió (~2024-) és az összes rádiós")}));
  EXPECT_EQ(std::string(rv58::kCommaWarning), "A \",\" karakter nem használható a beállítások között.");
  EXPECT_EQ(rv58::TpItems(), (std::vector<std::string>{"0 - Nincs", "0.0", "0.00", "0.000", "0.0000"}));
}

TEST(ValueLists, NumbersAndFormatsFollowTheirIndices) {
  EXPECT_EQ(rv58::BdItems(), (std::vector<std::string>{"300", "600", "1200", "2400", "4800", "9600", "14400",
                                                       "19200", "28800", "38400", "57600"}));
  ASSERT_EQ(rv58::LevagasItems().size(), 21u);
  for (int n = 1; n <= 20; ++n)
    EXPECT_EQ(rv58::LevagasItems()[static_cast<std::size_t>(n)], std::to_string(n));
  // Every format text is data bits, parity letter and stop bits at the index of its formula.
  ASSERT_EQ(rv58::PrItems().size(), 24u);
  const char parities[] = {'N', 'E', 'O'};
  for (int data = 5; data <= 8; ++data)
    for (int parity = 0; parity < 3; ++parity)
      for (int stop = 1; stop <= 2; ++stop) {
        const std::string text = std::to_string(data) + parities[parity] + std::to_string(stop);
        EXPECT_EQ(rv58::PrItems()[static_cast<std::size_t>(rv58::PrIndex(data, parity, stop))], text);
      }
}

TEST(CharacterChoiceList, IndexIsTheCharacterCode) {
  const auto& items = rv58::CharacterChoiceList();
  ASSERT_EQ(items.size(), 127u);
  EXPECT_EQ(items[0], "#0 (NUL)");
  EXPECT_EQ(items[9], "#9 (TAB)");
  EXPECT_EQ(items[13], "#13 (CR)");
  EXPECT_EQ(items[27], "#27 (ESC)");
  EXPECT_EQ(items[32], "#32 (SPACE)");
  EXPECT_EQ(items[33], "!");
  EXPECT_EQ(items[44], ",");
  EXPECT_EQ(items[65], "A");
  EXPECT_EQ(items[114], "r");
  EXPECT_EQ(items[126], "~");
  for (int code = 33; code <= 126; ++code)
    EXPECT_EQ(items[static_cast<std::size_t>(code)], std::string(1, static_cast<char>(code)));
}

TEST(DisplaySettingsModel, InitialValuesAndDefaultsCommand) {
  const DisplaySettings initial = DisplaySettings::Initial();
  EXPECT_EQ(initial.merlegnev(), "M\xE9rleg");
  EXPECT_EQ(initial.leiras(), "");
  EXPECT_EQ(initial.bd(), 5);
  EXPECT_EQ(initial.BdText(), "9600");
  EXPECT_EQ(initial.pr(), 3);
  EXPECT_EQ(initial.tm(), -1);
  EXPECT_EQ(initial.kr(), -1);
  EXPECT_EQ(initial.hk(), -1);
  EXPECT_EQ(initial.ht(), "ERROR");
  EXPECT_TRUE(initial.au());
  EXPECT_FALSE(initial.nm());
  EXPECT_EQ(initial.ora(), 0);
  EXPECT_EQ(initial.verziogroup(), 1);
  EXPECT_EQ(initial.Comport_up(), "");

  // The defaults: every field set, no port (the defaults command keeps the window's port).
  const DisplaySettings s = DisplaySettings::Defaults();
  EXPECT_EQ(s.Comport_up(), "");
  EXPECT_EQ(s.bd(), 5);
  EXPECT_EQ(s.pr(), 3);
  EXPECT_EQ(s.tm(), 13);
  EXPECT_EQ(s.kr(), 13);
  EXPECT_EQ(s.le(), 0);
  EXPECT_EQ(s.lh(), 0);
  EXPECT_EQ(s.fe(), 0);
  EXPECT_EQ(s.tp(), 0);
  EXPECT_EQ(s.bt(), 0);
  EXPECT_EQ(s.hk(), 114);
  EXPECT_EQ(s.HkText(), "r");
  EXPECT_EQ(s.ht(), "ERROR");
  EXPECT_TRUE(s.au());
  EXPECT_EQ(s.merlegnev(), "M\xE9rleg");
  EXPECT_EQ(s.ora(), 0);
  EXPECT_EQ(s.verziogroup(), 1);
  EXPECT_FALSE(s.nm());
  EXPECT_EQ(s.leiras(), "");
}

TEST(DisplaySettingsModel, ListsChooseNothingOutsideTheirItems) {
  DisplaySettings s = Defaults();
  s.SetBd(11);
  EXPECT_EQ(s.bd(), -1);
  EXPECT_EQ(s.BdText(), "");
  s.SetBd(10);
  EXPECT_EQ(s.BdText(), "57600");
  s.SetPr(24);
  EXPECT_EQ(s.pr(), -1);
  s.SetTm(127);
  EXPECT_EQ(s.tm(), -1);
  EXPECT_EQ(s.TmText(), "");
  s.SetTm(126);
  EXPECT_EQ(s.tm(), 126);
  s.SetKr(-2);
  EXPECT_EQ(s.kr(), -1);
  s.SetHk(INT32_MAX);
  EXPECT_EQ(s.hk(), -1);
  s.SetLe(21);
  EXPECT_EQ(s.le(), -1);
  s.SetLh(20);
  EXPECT_EQ(s.lh(), 20);
  s.SetBt(3);
  EXPECT_EQ(s.bt(), -1);
  s.SetFe(7);
  EXPECT_EQ(s.fe(), -1);
  s.SetTp(5);
  EXPECT_EQ(s.tp(), -1);
  s.SetTp(4);
  EXPECT_EQ(s.tp(), 4);
}

TEST(DisplaySettingsModel, RadioGroupsClamp) {
  DisplaySettings s = Defaults();
  s.SetOra(-7);
  EXPECT_EQ(s.ora(), -1);
  s.SetOra(4);
  EXPECT_EQ(s.ora(), 3);
  s.SetOra(INT32_MIN);
  EXPECT_EQ(s.ora(), -1);
  s.SetVerziogroup(99);
  EXPECT_EQ(s.verziogroup(), 1);
  s.SetVerziogroup(-1);
  EXPECT_EQ(s.verziogroup(), -1);
  s.SetVerziogroup(0);
  EXPECT_EQ(s.verziogroup(), 0);
}

TEST(DisplaySettingsModel, CopyButtonAndErrorTextFilter) {
  DisplaySettings s = DisplaySettings::Initial();
  s.SetKr(13);
  s.CopyTmToKr(); // nothing chosen as terminator: nothing chosen as required character
  EXPECT_EQ(s.kr(), -1);
  s.SetTm(44);
  s.CopyTmToKr();
  EXPECT_EQ(s.KrText(), ",");
  for (char refused : {',', '<', '>'}) // the frame's characters too
    EXPECT_FALSE(rv58::HtKeyAccepted(refused)) << refused;
  EXPECT_TRUE(rv58::HtKeyAccepted('e'));
  s.SetHt("a,b"); // text that arrives otherwise is not filtered
  EXPECT_EQ(s.ht(), "a,b");
}

TEST(DisplaySettingsModel, DescriptionIsLinesEachEndedByCrLf) {
  DisplaySettings s;
  s.SetLeiras("a\nb");
  EXPECT_EQ(s.leiras(), "a\r\nb\r\n");
  s.SetLeiras("a\r\nb\r\n");
  EXPECT_EQ(s.leiras(), "a\r\nb\r\n");
  s.SetLeiras("a\rb\r\rc");
  EXPECT_EQ(s.leiras(), "a\r\nb\r\n\r\nc\r\n");
  EXPECT_EQ(s.LeirasLines(), (std::vector<std::string>{"a", "b", "", "c"}));
  s.SetLeiras("");
  EXPECT_EQ(s.leiras(), "");
  EXPECT_TRUE(s.LeirasLines().empty());
}

// ---- The configuration message and the upload check ----

TEST(ConfigurationMessage, DefaultSettings) {
  const std::string m = rv58::ConfigurationMessage(Defaults());
  EXPECT_EQ(m, "<,9600,3,13,13,0,0,0,0,0,114,ERROR,1,0,0,>");
  EXPECT_EQ(m.size(), 42u);
  EXPECT_EQ(rv58::kDisplayTestMessage, "<,<<>");
  EXPECT_EQ(rv58::kPreamble, "<>");
}

TEST(ConfigurationMessage, FieldOrderAndUnchosenLists) {
  DisplaySettings s = Defaults();
  s.SetBd(3);
  s.SetPr(23);
  s.SetTm(10);
  s.SetKr(126);
  s.SetFe(6);
  s.SetLe(1);
  s.SetLh(2);
  s.SetTp(4);
  s.SetBt(2);
  s.SetHk(44);
  s.SetHt("HIBA");
  s.SetAu(false);
  s.SetOra(3);
  s.SetNm(true);
  // brightness comes before the two cut counts
  EXPECT_EQ(rv58::ConfigurationMessage(s), "<,2400,23,10,126,6,1,2,4,2,44,HIBA,0,3,1,>");

  DisplaySettings none = DisplaySettings::Initial();
  none.SetBd(-1);
  none.SetPr(-1);
  none.SetOra(-1);
  none.SetHt("");
  EXPECT_EQ(rv58::ConfigurationMessage(none), "<,,-1,-1,-1,0,0,0,0,0,-1,,1,-1,0,>");

  // The name, the description, the version and the port are not sent.
  DisplaySettings other = Defaults();
  other.SetMerlegnev("X");
  other.SetLeiras("y");
  other.SetVerziogroup(0);
  other.SetComport_up("COM9");
  EXPECT_EQ(rv58::ConfigurationMessage(other), rv58::ConfigurationMessage(Defaults()));
}

TEST(UploadCheck, RefusesTheCommaWhereItWouldSplitFields) {
  EXPECT_EQ(rv58::UploadCheck(Defaults()), "");
  DisplaySettings s = Defaults();
  s.SetTm(44);
  EXPECT_EQ(rv58::UploadCheck(s), rv58::kCommaWarning);
  s = Defaults();
  s.SetKr(44);
  EXPECT_EQ(rv58::UploadCheck(s), rv58::kCommaWarning);
  // As error character the comma goes through as its code.
  s = Defaults();
  s.SetHk(44);
  EXPECT_EQ(rv58::UploadCheck(s), "");
  EXPECT_EQ(rv58::ConfigurationMessage(s), "<,9600,3,13,13,0,0,0,0,0,44,ERROR,1,0,0,>");
  // A comma in the error text would shift every later field.
  s = Defaults();
  s.SetHt("ER,R");
  EXPECT_EQ(rv58::UploadCheck(s), rv58::kCommaWarning);
  s.SetHt(",");
  EXPECT_EQ(rv58::UploadCheck(s), rv58::kCommaWarning);
  // "<" and ">" would open or end the display's frame: the same warning with that character.
  s.SetHt("E>R<");
  EXPECT_EQ(rv58::UploadCheck(s), "A \">\" karakter nem használható a beállítások között.");
  // Nothing chosen is not a comma.
  s = DisplaySettings::Initial();
  EXPECT_EQ(rv58::UploadCheck(s), "");
}

TEST(Cp1250, RoundTripsThroughUnicode) {
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(rv58::Utf8ToCp1250(rv58::Cp1250ToUtf8(one)), one) << b;
  }
  EXPECT_EQ(rv58::Cp1250ToUtf8("M\xE9rleg \xF5\xFB \xA1^"), "Mérleg őű ˇ^");
  EXPECT_EQ(rv58::Utf8ToCp1250("Mérleg őű ☃"), "M\xE9rleg \xF5\xFB ?");
  EXPECT_EQ(rv58::Cp1250UpperCase(0xF5), 0xD5);
  EXPECT_EQ(rv58::Cp1250UpperCase(0xB3), 0xA3);
  EXPECT_EQ(rv58::Cp1250UpperCase(0xF7), 0xF7);
}

// What the code page cannot hold becomes one "?" per character or broken sequence, from UTF-8
// and from UTF-16 alike; an overlong form must not smuggle in a control or "<" byte.
TEST(Cp1250, MarksWhatTheCodePageCannotHold) {
  const struct {
    std::string utf8;
    std::string bytes;
  } fromUtf8[] = {
      {"\xC3", "?"},       // cut short at the end
      {"\xE2\x82x", "?x"}, // cut short inside
      {"a\x80\x80"
       "b",
       "a?b"},                                     // stray continuation bytes
      {"\xC0\x80|\xC0\xBC|\xE0\x80\xBC", "?|?|?"}, // overlong NUL and "<"
      {"\xED\xA0\x80", "?"},                       // a surrogate
      {"\xF4\x90\x80\x80", "?"},                   // past U+10FFFF
      {"\xFF\xC3\xA9", "?\xE9"},                   // a byte no sequence starts with
      {"\xE2\x98\x83\x80.", "?."},                 // a snowman with a stray byte after it
      {"?\x80", "??"},                             // a real "?" is no mark
  };
  for (const auto& row : fromUtf8)
    EXPECT_EQ(rv58::Utf8ToCp1250(row.utf8), row.bytes) << row.utf8;
  const struct {
    std::u16string utf16;
    std::string bytes;
  } fromUtf16[] = {
      {u"M\u00E9rleg \u0151", "M\xE9rleg \xF5"},
      {u"\U0001F600.", "?."}, // a pair: one character
      {std::u16string(1, char16_t(0xD800)) + u"x", "?x"},
      {std::u16string(1, char16_t(0x0081)), "\x81"}, // the code page's unassigned bytes round-trip
  };
  for (const auto& row : fromUtf16)
    EXPECT_EQ(rv58::Utf16ToCp1250(row.utf16), row.bytes);
  EXPECT_EQ(rv58::Cp1250ToUtf16("\x8A\x81"), u"\u0160\u0081");
  EXPECT_EQ(rv58::SingleLine("a\tb\r\n\x7f\xC3\xA9"), "a b   \xC3\xA9");
}

} // namespace
