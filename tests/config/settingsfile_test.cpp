#include "settingsfile.h"

#include "testutil_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace {

using rv58::DisplaySettings;
using rv58::TIniFile;
using rv58::test::MakeReadOnly;
using rv58::test::ReadBytes;
using rv58::test::TempDir;
using rv58::test::WriteBytes;

const std::vector<std::string> kPorts = {"COM1", "COM3", "COM12"};

DisplaySettings Defaults(const std::string& port = "") {
  DisplaySettings s = DisplaySettings::Defaults();
  s.SetComport_up(port);
  return s;
}

// Loads the settings from a file holding `body` under [RV5], starting from settings that differ
// from the defaults everywhere, so that a field the loader forgets shows.
DisplaySettings LoadBody(const std::string& body, const std::vector<std::string>& ports = kPorts) {
  TempDir dir;
  WriteBytes(dir.File("f.rv5"), "[RV5]\r\n" + body);
  DisplaySettings s = DisplaySettings::Initial();
  s.SetBd(0);
  s.SetPr(0);
  s.SetTm(1);
  s.SetKr(1);
  s.SetLe(9);
  s.SetLh(9);
  s.SetFe(5);
  s.SetTp(3);
  s.SetBt(2);
  s.SetHk(1);
  s.SetOra(2);
  s.SetVerziogroup(0);
  s.SetAu(false);
  s.SetNm(true);
  s.SetHt("old");
  s.SetMerlegnev("old");
  s.SetLeiras("old");
  s.SetComport_up("COM12");
  rv58::loadfile(s, TIniFile(dir.File("f.rv5")), ports);
  return s;
}

constexpr const char* kDefaultFileLines =
    "[RV5]\r\nbd=5\r\npr=3\r\ntm=13\r\nkr=13\r\nle=0\r\nlh=0\r\nfe=0\r\n"
    "tp=0\r\nbt=0\r\nhk=114\r\nor=0\r\nht=ERROR\r\nnev=M\xE9rleg\r\nau=1\r\n"
    "ve=1\r\ncomment=\r\nport=COM1\r\nnm=0\r\n";

TEST(Savefile, DefaultsGiveTheNineteenLines) {
  TempDir dir;
  TIniFile file(dir.File("new.rv5"));
  ASSERT_TRUE(rv58::savefile(Defaults("COM1"), file));
  EXPECT_EQ(ReadBytes(dir.File("new.rv5")), kDefaultFileLines);
}

TEST(Savefile, UpdatesKnownKeysInPlaceAndKeepsTheRest) {
  TempDir dir;
  WriteBytes(dir.File("prefs.ini"), "[FormPos]\r\nrvform=800;600;10;20\r\n[RV5]\r\nnm=1\r\nmine=x\r\nbd=0\r\n"
                                    "[Opt]\r\nlastsavedir=/tmp/\r\n");
  TIniFile file(dir.File("prefs.ini"));
  DisplaySettings s = Defaults("COM3");
  s.SetLeiras("a\r\nb");
  ASSERT_TRUE(rv58::savefile(s, file));
  EXPECT_EQ(
      ReadBytes(dir.File("prefs.ini")),
      "[FormPos]\r\nrvform=800;600;10;20\r\n[RV5]\r\nnm=0\r\nmine=x\r\nbd=5\r\npr=3\r\ntm=13\r\nkr=13\r\n"
      "le=0\r\nlh=0\r\nfe=0\r\ntp=0\r\nbt=0\r\nhk=114\r\nor=0\r\nht=ERROR\r\nnev=M\xE9rleg\r\nau=1\r\n"
      "ve=1\r\ncomment=a\xA1^b\xA1^\r\nport=COM3\r\n[Opt]\r\nlastsavedir=/tmp/\r\n");
}

TEST(Savefile, ReportsAFileThatCannotBeWritten) {
  TempDir dir;
  TIniFile missingFolder(dir.File("nope/f.rv5"));
  EXPECT_FALSE(rv58::savefile(Defaults("COM1"), missingFolder));

  WriteBytes(dir.File("ro.rv5"), "[RV5]\r\nbd=1\r\n");
  ASSERT_NO_FATAL_FAILURE(MakeReadOnly(dir.File("ro.rv5")));
  TIniFile readOnly(dir.File("ro.rv5"));
  EXPECT_FALSE(rv58::savefile(Defaults("COM1"), readOnly));
  EXPECT_EQ(ReadBytes(dir.File("ro.rv5")), "[RV5]\r\nbd=1\r\n");
}

TEST(Savefile, UnchosenListsAndOneLineTexts) {
  TempDir dir;
  TIniFile file(dir.File("f.rv5"));
  DisplaySettings s = DisplaySettings::Initial(); // no character chosen, no port
  s.SetHt("A\r\n[S]"); // a pasted line break must not start a line of its own in the file
  ASSERT_TRUE(rv58::savefile(s, file));
  EXPECT_EQ(file.ReadSectionSnapshot("RV5").ReadInteger("tm", 99), -1);
  EXPECT_EQ(file.ReadSectionSnapshot("RV5").ReadInteger("hk", 99), -1);
  EXPECT_EQ(file.ReadString("RV5", "port", "x"), "");
  EXPECT_EQ(file.ReadString("RV5", "ht", "x"), "A[S]");
  EXPECT_EQ(file.ReadSections().size(), 1u);
}

TEST(Loadfile, MissingFileOrSectionGivesTheDefaults) {
  TempDir dir;
  const DisplaySettings expected = Defaults("COM1");
  DisplaySettings s = LoadBody("");
  EXPECT_EQ(s, expected);
  s = DisplaySettings::Initial();
  rv58::loadfile(s, TIniFile(dir.File("none.rv5")), kPorts);
  EXPECT_EQ(s, expected);
  WriteBytes(dir.File("other.rv5"), "[Other]\r\nbd=1\r\n");
  rv58::loadfile(s, TIniFile(dir.File("other.rv5")), kPorts);
  EXPECT_EQ(s, expected);
  // Without COM1 among the ports, no port.
  rv58::loadfile(s, TIniFile(dir.File("none.rv5")), {"COM2"});
  EXPECT_EQ(s, Defaults(""));
}

TEST(Loadfile, RoundTripsEveryField) {
  TempDir dir;
  DisplaySettings s = Defaults("COM12");
  s.SetBd(10);
  s.SetPr(17);
  s.SetTm(3);
  s.SetKr(126);
  s.SetLe(20);
  s.SetLh(7);
  s.SetFe(6);
  s.SetTp(4);
  s.SetBt(2);
  s.SetHk(0);
  s.SetOra(3);
  s.SetHt("hiba");
  s.SetMerlegnev("H\xED"
                 "d \xF5"); // Híd ő
  s.SetAu(false);
  s.SetVerziogroup(0);
  s.SetNm(true);
  s.SetLeiras("els\xF5\r\nm\xE1sodik\r\n\r\nutols\xF3");
  TIniFile file(dir.File("f.rv5"));
  ASSERT_TRUE(rv58::savefile(s, file));
  DisplaySettings back = DisplaySettings::Initial();
  rv58::loadfile(back, file, kPorts);
  EXPECT_EQ(back, s);
}

struct IntegerRule {
  const char* key;
  std::function<std::int32_t(const DisplaySettings&)> get;
  std::int32_t byDefault;
  std::vector<std::pair<std::string, std::int32_t>> cases; // stored value -> loaded value
};

TEST(Loadfile, IntegerFieldRules) {
  const std::vector<IntegerRule> rules = {
      {"bd",
       &DisplaySettings::bd,
       5,
       {{"7", 7}, {"11", -1}, {"-1", -1}, {"0x3", 3}, {"abc", 5}, {"9600", -1}}},
      {"pr", &DisplaySettings::pr, 3, {{"23", 23}, {"24", -1}, {"0x17", 23}, {"x", 3}, {"3.0", 3}}},
      {"tm", &DisplaySettings::tm, 13, {{"44", 44}, {"127", -1}, {"0x41", 65}, {"1e3", 13}, {"$0A", 10}}},
      {"kr", &DisplaySettings::kr, 13, {{"0", 0}, {"-5", -1}, {"$2C", 44}, {"", 13}, {" 7", 7}}},
      {"le", &DisplaySettings::le, 0, {{"20", 20}, {"21", -1}, {"0xA", 10}, {"ten", 0}}},
      {"lh", &DisplaySettings::lh, 0, {{"1", 1}, {"99999999999", 0}, {"0X14", 20}, {"1,5", 0}}},
      {"fe", &DisplaySettings::fe, 0, {{"6", 6}, {"7", -1}, {"0x6", 6}, {"max", 0}}},
      {"tp", &DisplaySettings::tp, 0, {{"4", 4}, {"5", -1}, {"0x4", 4}, {"two", 0}}},
      {"bt", &DisplaySettings::bt, 0, {{"2", 2}, {"3", -1}, {"0x2", 2}, {"bold", 0}}},
      {"hk", &DisplaySettings::hk, 114, {{"44", 44}, {"200", -1}, {"0x41", 65}, {"r", 114}}},
      {"or", &DisplaySettings::ora, 0, {{"2", 2}, {"9", 3}, {"-9", -1}, {"0x1", 1}, {"z", 0}}},
      {"ve", &DisplaySettings::verziogroup, 1, {{"0", 0}, {"5", 1}, {"-3", -1}, {"0x0", 0}, {"new", 1}}},
  };
  for (const IntegerRule& rule : rules) {
    EXPECT_EQ(rule.get(LoadBody("")), rule.byDefault) << rule.key << " missing";
    for (const auto& [stored, loaded] : rule.cases)
      EXPECT_EQ(rule.get(LoadBody(std::string(rule.key) + "=" + stored + "\r\n")), loaded)
          << rule.key << "=" << stored;
  }
}

TEST(Loadfile, SwitchFieldRules) {
  EXPECT_TRUE(LoadBody("").au());
  EXPECT_FALSE(LoadBody("").nm());
  const std::vector<std::pair<std::string, bool>> cases = {{"1", true},  {"0", false},   {"2", true},
                                                           {"-1", true}, {"0x0", false}, {"0x10", true}};
  for (const auto& [stored, on] : cases) {
    EXPECT_EQ(LoadBody("au=" + stored + "\r\n").au(), on) << stored;
    EXPECT_EQ(LoadBody("nm=" + stored + "\r\n").nm(), on) << stored;
  }
  // Text that is no number gives the default.
  EXPECT_TRUE(LoadBody("au=no\r\n").au());
  EXPECT_FALSE(LoadBody("nm=yes\r\n").nm());
}

TEST(Loadfile, TextFieldRules) {
  EXPECT_EQ(LoadBody("").ht(), "ERROR");
  EXPECT_EQ(LoadBody("").merlegnev(), "M\xE9rleg");
  EXPECT_EQ(LoadBody("").leiras(), "");
  // The error text is cut to its box's 6 characters, as the window shows it; no capitals, and a
  // comma stays (the upload refuses it).
  EXPECT_EQ(LoadBody("ht=hi,bahosszu\r\n").ht(), "hi,bah");
  EXPECT_EQ(LoadBody("ht=\r\n").ht(), "");
  EXPECT_EQ(LoadBody("nev=\"  Tank 2  \"\r\n").merlegnev(), "  Tank 2  ");
  EXPECT_EQ(LoadBody("nev=" + std::string(3000, 'n') + "\r\n").merlegnev(), std::string(2047, 'n'));
}

TEST(Loadfile, DescriptionLineBreaks) {
  // "ˇ^" is a line break: a one-line description is stored with one at its end.
  EXPECT_EQ(rv58::EncodeLeiras("abc\r\n"), "abc\xA1^");
  EXPECT_EQ(rv58::DecodeLeiras("a\xA1^"
                               "b\xA1^"),
            "a\r\nb\r\n");
  DisplaySettings s = LoadBody("comment=a\xA1^"
                               "b\xA1^\r\n");
  EXPECT_EQ(s.LeirasLines(), (std::vector<std::string>{"a", "b"}));
  // A stored "ˇ^" without any other line break still becomes one.
  s = LoadBody("comment=x\xA1^y\r\n");
  EXPECT_EQ(s.leiras(), "x\r\ny\r\n");
  // A lone "ˇ" or "^" is text.
  s = LoadBody("comment=\xA1 ^\r\n");
  EXPECT_EQ(s.leiras(), "\xA1 ^\r\n");
}

TEST(Loadfile, PortMatchesTheListWithoutLetterCase) {
  EXPECT_EQ(LoadBody("port=com3\r\n").Comport_up(), "COM3");
  EXPECT_EQ(LoadBody("port=Com12\r\n").Comport_up(), "COM12");
  EXPECT_EQ(LoadBody("port=COM9\r\n").Comport_up(), "");
  EXPECT_EQ(LoadBody("port=\r\n").Comport_up(), "");
  EXPECT_EQ(LoadBody("port=COM1\r\n", {}).Comport_up(), "");
  EXPECT_EQ(LoadBody("").Comport_up(), "COM1");
}

TEST(Loadfile, DefaultsCommandAndEmptyFileAgreeButForThePort) {
  DisplaySettings loaded = LoadBody("", {"COM2"});
  EXPECT_EQ(loaded.Comport_up(), "");
  EXPECT_EQ(loaded, DisplaySettings::Defaults());
}

TEST(LoadfileBadInput, OddFilesGiveDefaults) {
  const DisplaySettings expected = Defaults("COM1");
  TempDir dir;
  std::string binary;
  for (int i = 0; i < 100000; ++i)
    binary.push_back(static_cast<char>((i * 131 + 7) & 0xFF));
  const std::vector<std::string> contents = {
      "",
      binary,
      std::string(1000, '\0'),
      "bd=1\r\npr=1\r\n",           // no sections
      "[RV5]\r\n[RV5]\r\nbd=1\r\n", // only the first of duplicate sections counts
      "[RV5]\0bd=1",                // NUL inside the header line
  };
  for (const std::string& content : contents) {
    WriteBytes(dir.File("odd.rv5"), content);
    DisplaySettings s = DisplaySettings::Initial();
    rv58::loadfile(s, TIniFile(dir.File("odd.rv5")), kPorts);
    EXPECT_EQ(s, expected) << content.substr(0, 20);
  }

  // Values still load from files with other line ends and duplicate keys.
  for (const std::string& content : {std::string("[RV5]\rbd=7\rbd=8\r"), std::string("[RV5]\nbd=7\nbd=8"),
                                     std::string("\r\n\r\n  [ rv5 ]  \r\n  bd = 7 \r\n"),
                                     std::string("\xEF\xBB\xBF[RV5]\r\nbd=7\r\n")}) { // UTF-8 mark
    WriteBytes(dir.File("ends.rv5"), content);
    DisplaySettings s = DisplaySettings::Initial();
    rv58::loadfile(s, TIniFile(dir.File("ends.rv5")), kPorts);
    EXPECT_EQ(s.bd(), 7) << content;
  }

  // An unreadable path (a folder) gives the defaults too.
  DisplaySettings s = DisplaySettings::Initial();
  rv58::loadfile(s, TIniFile(dir.Path().string()), kPorts);
  EXPECT_EQ(s, expected);
}

TEST(LoadfileBadInput, HugeFilesLoad) {
  TempDir dir;
  // 100 MB without a single line break (made sparse, so the test stays quick): no crash, no hang.
  {
    std::ofstream out(dir.File("huge.rv5"), std::ios::binary);
    out.seekp(100 * 1024 * 1024);
    out << "\r\n[RV5]\r\nbd=7\r\nhk=0x41\r\n";
  }
  DisplaySettings s = DisplaySettings::Initial();
  rv58::loadfile(s, TIniFile(dir.File("huge.rv5")), kPorts);
  EXPECT_EQ(s.bd(), 7);
  EXPECT_EQ(s.hk(), 65);
  EXPECT_EQ(s.pr(), 3);

  // Many short lines and unknown sections before the one that counts.
  {
    std::ofstream out(dir.File("many.rv5"), std::ios::binary);
    std::string chunk;
    for (int i = 0; i < 1024; ++i)
      chunk += "[junk" + std::to_string(i) + "]\r\nbd=1\r\n\x01\x02\xFF=\r\n";
    for (std::size_t written = 0; written < 8u * 1024 * 1024; written += chunk.size())
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    out << "[RV5]\r\nbd=8\r\n";
  }
  s = DisplaySettings::Initial();
  rv58::loadfile(s, TIniFile(dir.File("many.rv5")), kPorts);
  EXPECT_EQ(s.bd(), 8);
}

} // namespace
