#include "inifile.h"

#include "testutil_files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

namespace {

using rv58::TIniFile;
using rv58::ini::FindValue;
using rv58::ini::SetValue;
using rv58::test::MakeReadOnly;
using rv58::test::ReadBytes;
using rv58::test::TempDir;
using rv58::test::WriteBytes;

// Reads through a real file, as the program does.
std::string ReadFrom(const std::string& content, const std::string& section, const std::string& key,
                     const std::string& def = "<default>") {
  TempDir dir;
  WriteBytes(dir.File("f.ini"), content);
  return TIniFile(dir.File("f.ini")).ReadString(section, key, def);
}

// ---- Golden cases of the Windows profile functions (reads) ----

TEST(IniGoldenRead, QuotedValueKeepsInnerBlanks) { // 1
  EXPECT_EQ(ReadFrom("[s]\r\nk=  \"  v  \"  \r\n", "s", "k"), "  v  ");
}

TEST(IniGoldenRead, SemicolonInsideValueIsText) { // 2
  EXPECT_EQ(ReadFrom("[s]\r\nk=v ;c\r\n", "s", "k"), "v ;c");
}

TEST(IniGoldenRead, CommentLineIsNeverAKey) { // 3
  EXPECT_EQ(ReadFrom("[s]\r\n  ;k=v\r\n", "s", ";k"), "<default>");
  EXPECT_EQ(ReadFrom("[s]\r\n  ;k=v\r\n", "s", "k"), "<default>");
}

TEST(IniGoldenRead, FirstDuplicateKeyWins) { // 4
  EXPECT_EQ(ReadFrom("[s]\r\nk=1\r\nk=2\r\n", "s", "k"), "1");
}

TEST(IniGoldenRead, OnlyTheFirstDuplicateSectionIsSearched) { // 5
  EXPECT_EQ(ReadFrom("[s]\r\n[s]\r\nk=1\r\n", "s", "k"), "<default>");
}

TEST(IniGoldenRead, LinesBeforeTheFirstSectionAreIgnored) { // 6
  EXPECT_EQ(ReadFrom("k=0\r\n[s]\r\n", "", "k"), "<default>");
}

TEST(IniGoldenRead, HeaderEndsAtTheFirstBracketAndIsTrimmed) { // 7, 8
  EXPECT_EQ(ReadFrom("[ s ]junk\r\nk=1\r\n", "s", "k"), "1");
  EXPECT_EQ(ReadFrom("[s\r\nk=1\r\n", "s", "k"), "1");
  EXPECT_EQ(ReadFrom("[s]k=v\r\n", "s", "k"), "<default>");
}

TEST(IniGoldenRead, EveryLineBreakStyleReads) { // 9
  EXPECT_EQ(ReadFrom("[s]\rk=1\r", "s", "k"), "1");
  EXPECT_EQ(ReadFrom("[s]\nk=1\n", "s", "k"), "1");
  EXPECT_EQ(ReadFrom("[x]\r\ny=2\n[s]\rk=1", "s", "k"), "1");
}

TEST(IniGoldenRead, ValueIsCutToTheBuffer) { // 10
  EXPECT_EQ(FindValue("[s]\r\nk=val1\r\n", "s", "k", 4), "val");
  EXPECT_EQ(FindValue("[s]\r\nk=val1\r\n", "s", "k", 5), "val1");
  EXPECT_EQ(ReadFrom("[s]\r\nk=" + std::string(3000, 'a') + "\r\n", "s", "k"), std::string(2047, 'a'));
}

TEST(IniGoldenRead, DefaultLosesTrailingSpacesOnly) { // 11
  TempDir dir;
  const TIniFile missing(dir.File("none.ini"));
  EXPECT_EQ(missing.ReadString("s", "k", "abc  "), "abc");
  EXPECT_EQ(missing.ReadString("s", "k", "  abc\t"), "  abc\t");
}

TEST(IniRead, NamesMatchWithoutLetterCaseAndCallerNamesLoseSpaces) {
  EXPECT_EQ(ReadFrom("[Sec]\r\nKey=1\r\n", "sEC", "kEY"), "1");
  EXPECT_EQ(ReadFrom("[Sec]\r\nKey=1\r\n", " sec ", " key "), "1");
  EXPECT_EQ(ReadFrom("[Sec]\r\nKey=1\r\n", "\tsec", "key"), "<default>");
  // Windows-1250 accented letters fold too: [Á] is [á].
  EXPECT_EQ(ReadFrom("[\xC1]\r\nk=1\r\n", "\xE1", "k"), "1");
  EXPECT_EQ(ReadFrom("[s]\r\n#k=1\r\n", "s", "#k"), "1");
}

TEST(IniRead, EmptyValueIsNotTheDefault) {
  EXPECT_EQ(ReadFrom("[s]\r\nk=\r\n", "s", "k"), "");
  EXPECT_EQ(ReadFrom("[s]\r\nk\r\n", "s", "k"), "<default>");
  EXPECT_EQ(ReadFrom("[s]\r\nk='x\"\r\n", "s", "k"), "'x\"");
  EXPECT_EQ(ReadFrom("[s]\r\nk=''x''\r\n", "s", "k"), "'x'");
}

TEST(IniRead, Utf8FileWithByteOrderMarkIsReadAndStaysUtf8) {
  TempDir dir;
  WriteBytes(dir.File("f.ini"), "\xEF\xBB\xBF[s]\r\nk=\xC3\xA9\r\nx=\xD0\x96\xFF\r\n"); // é, Ж, a bad byte
  TIniFile ini(dir.File("f.ini"));
  EXPECT_EQ(ini.ReadString("s", "k", ""), "\xE9");
  ASSERT_TRUE(ini.WriteString("s", "n", "\xF5")); // ő
  EXPECT_EQ(ReadBytes(dir.File("f.ini")),
            "\xEF\xBB\xBF[s]\r\nk=\xC3\xA9\r\nx=\xD0\x96\xFF\r\nn=\xC5\x91\r\n");
}

TEST(IniRead, IntegersFollowTheClassicWrapper) {
  TempDir dir;
  WriteBytes(dir.File("f.ini"), "[s]\r\nhex=0x41\r\nHEX=0X1a\r\ndollar=$1A\r\nbare0x=0x\r\nsp=  12  \r\n"
                                "q=\" 12\"\r\nneg=-7\r\nbig=2147483648\r\nword=abc\r\nempty=\r\n"
                                "tail=12abc\r\nff=$FFFFFFFF\r\n");
  const TIniFile ini(dir.File("f.ini"));
  EXPECT_EQ(ini.ReadSectionSnapshot("s").ReadInteger("hex", -5), 65);
  EXPECT_EQ(ini.ReadSectionSnapshot("s").ReadInteger("dollar", -5), 26);
  EXPECT_EQ(ini.ReadSectionSnapshot("s").ReadInteger("bare0x", -5), -5);
  EXPECT_EQ(ini.ReadSectionSnapshot("s").ReadInteger("sp", -5), 12);
  EXPECT_EQ(ini.ReadSectionSnapshot("s").ReadInteger("q", -5), 12);
  EXPECT_EQ(ini.ReadSectionSnapshot("s").ReadInteger("neg", -5), -7);
  EXPECT_EQ(ini.ReadSectionSnapshot("s").ReadInteger("big", -5), -5);
  EXPECT_EQ(ini.ReadSectionSnapshot("s").ReadInteger("word", -5), -5);
  EXPECT_EQ(ini.ReadSectionSnapshot("s").ReadInteger("empty", -5), -5);
  EXPECT_EQ(ini.ReadSectionSnapshot("s").ReadInteger("tail", -5), -5);
  EXPECT_EQ(ini.ReadSectionSnapshot("s").ReadInteger("ff", -5), -1);
  EXPECT_EQ(ini.ReadSectionSnapshot("s").ReadInteger("missing", -5), -5);
}

TEST(IniRead, SwitchesAreIntegersOtherThanZero) {
  TempDir dir;
  WriteBytes(dir.File("f.ini"), "[s]\r\none=1\r\ntwo=2\r\nminus=-1\r\nhex=0x1\r\nzero=0\r\nhexzero=0x0\r\n"
                                "word=true\r\nempty=\r\n");
  const TIniFile ini(dir.File("f.ini"));
  for (const char* key : {"one", "two", "minus", "hex"})
    EXPECT_TRUE(ini.ReadSectionSnapshot("s").ReadBool(key, false)) << key;
  for (const char* key : {"zero", "hexzero"})
    EXPECT_FALSE(ini.ReadSectionSnapshot("s").ReadBool(key, true)) << key;
  for (const char* key : {"word", "empty", "missing"}) {
    EXPECT_TRUE(ini.ReadSectionSnapshot("s").ReadBool(key, true)) << key;
    EXPECT_FALSE(ini.ReadSectionSnapshot("s").ReadBool(key, false)) << key;
  }
}

TEST(IniRead, EnumeratesKeysValuesAndSections) {
  TempDir dir;
  WriteBytes(dir.File("f.ini"),
             "junk=1\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\n;COM4=/dev/x\r\nnoequals\r\n"
             "com3=/dev/other\r\nCOM7 = \"/dev/pts/4\"\r\n[b]\r\nx=1\r\n[ports]\r\nCOM9=/dev/y\r\n");
  const TIniFile ini(dir.File("f.ini"));
  EXPECT_EQ(ini.ReadSection("PORTS"), (std::vector<std::string>{"COM3", "com3", "COM7"}));
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(ini.ReadSectionValues("Ports"), (Pairs{{"COM3", "/dev/ttyUSB0"}, {"COM7", "/dev/pts/4"}}));
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Ports", "b", "ports"}));
  EXPECT_TRUE(ini.SectionExists("b"));
  EXPECT_FALSE(ini.SectionExists("c"));
  EXPECT_TRUE(TIniFile(dir.File("none.ini")).ReadSection("Ports").empty());
}

// ---- Golden cases (writes) ----

TEST(IniGoldenWrite, NewKeysKeepTheOrderOfWriting) { // 12
  TempDir dir;
  WriteBytes(dir.File("f.ini"), "");
  TIniFile ini(dir.File("f.ini"));
  ASSERT_TRUE(ini.WriteString("s", "z", "1"));
  ASSERT_TRUE(ini.WriteString("s", "a", "2"));
  ASSERT_TRUE(ini.WriteString("s", "y", "3"));
  EXPECT_EQ(ReadBytes(dir.File("f.ini")), "[s]\r\nz=1\r\na=2\r\ny=3\r\n");
}

TEST(IniGoldenWrite, NewKeyGoesAfterTheLastKeyLine) { // 13
  TempDir dir;
  WriteBytes(dir.File("f.ini"), ";c0\r\n[s]\r\n;c1\r\nb=v\r\n;c2\r\na=v\r\n");
  TIniFile ini(dir.File("f.ini"));
  ASSERT_TRUE(ini.WriteString("s", "z", ""));
  ASSERT_TRUE(ini.WriteString("s", ";x", ""));
  ASSERT_TRUE(ini.WriteString("s", "y", ""));
  EXPECT_EQ(ReadBytes(dir.File("f.ini")), ";c0\r\n[s]\r\n;c1\r\nb=v\r\n;c2\r\na=v\r\nz=\r\ny=\r\n;x=\r\n");
}

TEST(IniGoldenWrite, EditsTheText) {
  const std::vector<std::tuple<std::string, std::string, std::string, std::string, std::string>> cases = {
      // 14: a new section is appended without a blank line
      {"[App1]\r\nk=v\r\n", "App2", "k4", "s4", "[App1]\r\nk=v\r\n[App2]\r\nk4=s4\r\n"},
      // 15: a line break first when the file does not end with one
      {"junk", "s", "k", "v", "junk\r\n[s]\r\nk=v\r\n"},
      // 16: the existing key keeps its spelling, and gets its line break
      {"[s]\r\nKey=v", "S", "KEY", "w", "[s]\r\nKey=w\r\n"},
      // 17: the value is written as given
      {"", "s", "k", " v ", "[s]\r\nk= v \r\n"},
      // a section without keys gets the key right after its header, before its blank lines
      {"[s]\r\n\r\n[t]\r\n", "s", "k", "1", "[s]\r\nk=1\r\n\r\n[t]\r\n"},
      {"[s]", "s", "k", "1", "[s]\r\nk=1\r\n"},
      // blank lines and comments after the last key stay after the new key
      {"[s]\r\na=1\r\n\r\n;c\r\n[t]\r\n", "s", "b", "2", "[s]\r\na=1\r\nb=2\r\n\r\n;c\r\n[t]\r\n"},
      // LF-only lines that are not touched stay as they are
      {"[s]\na=1\nb=2\n", "s", "a", "9", "[s]\na=9\r\nb=2\n"},
      // bytes before the first section, NULs included, are kept
      {std::string("x\0y\r\n[s]\r\n", 10), "s", "k", "v", std::string("x\0y\r\n[s]\r\nk=v\r\n", 15)},
  };
  for (const auto& [before, section, key, value, after] : cases)
    EXPECT_EQ(SetValue(before, section, key, value), after) << before;

  TempDir dir;
  TIniFile ini(dir.File("new.ini"));
  ASSERT_TRUE(ini.WriteString("s", "k", " v "));
  EXPECT_EQ(ReadBytes(dir.File("new.ini")), "[s]\r\nk= v \r\n");
  EXPECT_EQ(ini.ReadString("s", "k", ""), "v");
}

TEST(IniGoldenWrite, MissingFolderFails) { // 20
  TempDir dir;
  TIniFile ini(dir.File("no/such/folder/f.ini"));
  EXPECT_FALSE(ini.WriteString("s", "k", "v"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
}

TEST(IniWrite, UnknownContentSurvivesByteForByte) {
  TempDir dir;
  const std::string before = "; made by hand\r\n\r\n[other]\r\n  odd  =  spacing  \r\n#x=1\r\n\r\n"
                             "[RV5]\r\nbd=5\r\nextra=keep\r\n[tail]\r\nz=\"q\"\r\n";
  WriteBytes(dir.File("f.ini"), before);
  TIniFile ini(dir.File("f.ini"));
  ASSERT_TRUE(ini.WriteString("rv5", "BD", "7"));
  ASSERT_TRUE(ini.WriteString("RV5", "nm", "1"));
  EXPECT_EQ(ReadBytes(dir.File("f.ini")),
            "; made by hand\r\n\r\n[other]\r\n  odd  =  spacing  \r\n#x=1\r\n\r\n"
            "[RV5]\r\nbd=7\r\nextra=keep\r\nnm=1\r\n[tail]\r\nz=\"q\"\r\n");
}

TEST(IniWrite, EveryReadSeesTheFileAsItIsNow) {
  TempDir dir;
  TIniFile a(dir.File("f.ini"));
  const TIniFile b(dir.File("f.ini"));
  EXPECT_EQ(b.ReadSectionSnapshot("s").ReadInteger("k", -1), -1);
  ASSERT_TRUE(a.WriteString("s", "k", "1"));
  EXPECT_EQ(b.ReadSectionSnapshot("s").ReadInteger("k", -1), 1);
  WriteBytes(dir.File("f.ini"), "[s]\nk=2\n");
  EXPECT_EQ(a.ReadSectionSnapshot("s").ReadInteger("k", -1), 2);
}

TEST(IniWrite, RefusesEmptyNames) {
  TempDir dir;
  TIniFile ini(dir.File("f.ini"));
  EXPECT_FALSE(ini.WriteString("", "k", "v"));
  EXPECT_FALSE(ini.WriteString("s", "  ", "v"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("f.ini")));
}

TEST(IniWrite, RemovesOnlyTemporaryFilesOfOurOwnThatAKilledWriterLeft) {
  TempDir dir;
  WriteBytes(dir.File("f.ini"), "[s]\r\nk=1\r\n");
  // Only our own name is removed: a user's backup, another program's file in flight and the
  // older form of our name could belong to anyone.
  const std::vector<std::pair<const char*, bool>> names = {
      {".f.ini.rv58-Ab12Cd.tmp", false}, {".f.ini.Ab12Cd", true},          {".f.ini.backup", true},
      {".f.ini.rv58-Ab12C.tmp", true},   {".g.ini.rv58-Ab12Cd.tmp", true}, {"f.ini.rv58-Ab12Cd.tmp", true}};
  for (const auto& [name, kept] : names)
    WriteBytes(dir.File(name), "stale");
  ASSERT_TRUE(TIniFile(dir.File("f.ini")).WriteString("s", "k", "2"));
  for (const auto& [name, kept] : names)
    EXPECT_EQ(std::filesystem::exists(dir.File(name)), kept) << name;
}

TEST(IniWrite, ConcurrentWritersTakeTurnsAndLoseNoKey) {
  TempDir dir;
  const std::string file = dir.File("f.ini"); // missing at first: the creators race too
  constexpr int kWriters = 6;
  constexpr int kRounds = 25;
  std::atomic<int> failed{0};
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w)
    writers.emplace_back([&, w] {
      for (int i = 0; i < kRounds; ++i)
        if (!TIniFile(file).WriteString("s", "k" + std::to_string(w), std::to_string(i)))
          ++failed;
    });
  for (auto& t : writers)
    t.join();
  EXPECT_EQ(failed, 0);
  for (int w = 0; w < kWriters; ++w)
    EXPECT_EQ(TIniFile(file).ReadString("s", "k" + std::to_string(w), ""), std::to_string(kRounds - 1)) << w;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(IniWrite, ReadOnlyFileIsAFailedWriteAndStaysIntact) {
  TempDir dir;
  WriteBytes(dir.File("f.ini"), "[s]\r\nk=1\r\n");
  ASSERT_NO_FATAL_FAILURE(MakeReadOnly(dir.File("f.ini")));
  TIniFile ini(dir.File("f.ini"));
  EXPECT_FALSE(ini.WriteString("s", "k", "2"));
  EXPECT_FALSE(ini.WriteString("s", "k", "1")); // the same value: still not writable
  EXPECT_EQ(ReadBytes(dir.File("f.ini")), "[s]\r\nk=1\r\n");
}

TEST(IniWrite, Utf16FileStaysUtf16) {
  TempDir dir;
  // "[s]\r\nk=é\r\n" in UTF-16LE with its byte-order mark.
  std::string utf16("\xFF\xFE", 2);
  for (char16_t c : std::u16string(u"[s]\r\nk=\u00E9\r\n")) {
    utf16.push_back(static_cast<char>(c & 0xFF));
    utf16.push_back(static_cast<char>(c >> 8));
  }
  WriteBytes(dir.File("f.ini"), utf16);
  TIniFile ini(dir.File("f.ini"));
  EXPECT_EQ(ini.ReadString("s", "k", ""), "\xE9");
  ASSERT_TRUE(ini.WriteString("s", "n", "\xF5")); // ő
  std::string expected("\xFF\xFE", 2);
  for (char16_t c : std::u16string(u"[s]\r\nk=\u00E9\r\nn=\u0151\r\n")) {
    expected.push_back(static_cast<char>(c & 0xFF));
    expected.push_back(static_cast<char>(c >> 8));
  }
  EXPECT_EQ(ReadBytes(dir.File("f.ini")), expected);
}

TEST(IniWrite, Utf16FileKeepsCharactersWithoutAn8BitForm) {
  // Cyrillic, Greek and an emoji (two code units) have no Windows-1250 byte: lines that a write
  // does not touch must keep them, also when many keys are written at once.
  const auto utf16 = [](const std::u16string& text) {
    std::string out("\xFF\xFE", 2);
    for (char16_t c : text) {
      out.push_back(static_cast<char>(c & 0xFF));
      out.push_back(static_cast<char>(c >> 8));
    }
    return out;
  };
  TempDir dir;
  WriteBytes(
      dir.File("f.ini"),
      utf16(
          u";\u0416\u0443\u0440\u043D\u0430\u043B\r\n[Opt]\r\nlastsavedir=/home/\u0418\u0432\u0430\u043D/\r\n"
          u"[RV5]\r\nbd=1\r\nmine=\u03B1\U0001F600\r\nnm=1\r\n"));
  TIniFile ini(dir.File("f.ini"));
  ASSERT_TRUE(ini.WriteString("Opt", "lastopendir", "/tmp/"));
  ASSERT_TRUE(ini.WriteValues("RV5", {{"bd", "5"}, {"nm", "0"}, {"ht", "\xC9"}})); // É
  EXPECT_EQ(
      ReadBytes(dir.File("f.ini")),
      utf16(
          u";\u0416\u0443\u0440\u043D\u0430\u043B\r\n[Opt]\r\nlastsavedir=/home/\u0418\u0432\u0430\u043D/\r\n"
          u"lastopendir=/tmp/\r\n[RV5]\r\nbd=5\r\nmine=\u03B1\U0001F600\r\nnm=0\r\nht=\u00C9\r\n"));
}

TEST(IniBadInput, OddFilesReadAsDefaultsWithoutHanging) {
  TempDir dir;
  const std::string def = "<d>";
  // Binary garbage, NULs, no sections, empty.
  std::string binary;
  for (int i = 0; i < 70000; ++i)
    binary.push_back(static_cast<char>((i * 7919) & 0xFF));
  for (const std::string& content :
       {std::string(), binary, std::string("\0\0\0", 3), std::string("k=v\r\nx=y"), std::string("["),
        std::string("]]]]"), std::string("=\r\n=\r\n")}) {
    WriteBytes(dir.File("odd.ini"), content);
    EXPECT_EQ(TIniFile(dir.File("odd.ini")).ReadString("RV5", "bd", def), def);
  }
  // NUL bytes inside a value are kept as bytes.
  EXPECT_EQ(ReadFrom(std::string("[s]\r\nk=a\0b\r\n", 12), "s", "k"), std::string("a\0b", 3));

  // A folder reads as missing (a FIFO too: inifile_posix_test.cpp).
  std::filesystem::create_directory(dir.File("folder"));
  TIniFile ini(dir.File("folder"));
  EXPECT_EQ(ini.ReadString("s", "k", def), def);
  EXPECT_FALSE(ini.WriteString("s", "k", "v"));
}

} // namespace
