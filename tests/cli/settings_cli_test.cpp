// rv58ctl message / defaults, run as the real program.
#include "testutil_files.h"
#include "testutil_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Folder = rv58::test::TempDir;

struct CtlResult {
  int code = -1;
  std::string out;
  std::string err;
};

// Runs rv58ctl in `folder` with its own preferences file, capturing both output streams.
CtlResult Ctl(const Folder& folder, std::vector<std::string> args) {
  args.insert(args.begin(), {RV58CTL_PATH, "--ini", folder.File("rv58led.ini")});
  rv58::test::TChildOptions options;
  options.workingDir = folder.Path().string();
  const auto child = rv58::test::RunChild(args, options);
  return {child.exitCode, child.out, child.err};
}

constexpr const char* kDefaultMessage = "<,9600,3,13,13,0,0,0,0,0,114,ERROR,1,0,0,>\n";

TEST(SettingsCli, DefaultsWriteTheNineteenLinesAndMessageReadsThem) {
  Folder dir;
  CtlResult r = Ctl(dir, {"defaults", "f.rv5"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(rv58::test::ReadBytes(dir.File("f.rv5")),
            "[RV5]\r\nbd=5\r\npr=3\r\ntm=13\r\nkr=13\r\nle=0\r\nlh=0\r\nfe=0\r\ntp=0\r\n"
            "bt=0\r\nhk=114\r\nor=0\r\nht=ERROR\r\nnev=M\xE9rleg\r\nau=1\r\nve=1\r\n"
            "comment=\r\nport=COM1\r\nnm=0\r\n");
  r = Ctl(dir, {"message", "f.rv5"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, kDefaultMessage);
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(fs::exists(dir.File("rv58led.ini"))); // neither command touches the preferences
}

TEST(SettingsCli, MessageWithoutFileIsTheDefaults) {
  Folder dir;
  const CtlResult r = Ctl(dir, {"message"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, kDefaultMessage);
}

TEST(SettingsCli, MessageCarriesTheFileBytesUnchanged) {
  Folder dir;
  // "ÉRT" in Windows-1250; unchosen lists; hexadecimal values; the port is not part of it.
  rv58::test::WriteBytes(dir.File("f.rv5"),
                         "[Other]\r\nbd=1\r\n[rv5]\r\nbd=99\r\npr=0x17\r\nhk=0x41\r\nht=\xC9RT\r\nau=0\r\n"
                         "or=7\r\nnm=1\r\nport=COM200\r\n");
  const CtlResult r = Ctl(dir, {"message", "f.rv5"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "<,,23,13,13,0,0,0,0,0,65,\xC9RT,0,3,1,>\n");
  // The error text as the window's box shows it: 6 characters.
  rv58::test::WriteBytes(dir.File("g.rv5"), "[RV5]\r\nht=ABCDEFGHIJ\r\n");
  EXPECT_EQ(Ctl(dir, {"message", "g.rv5"}).out, "<,9600,3,13,13,0,0,0,0,0,114,ABCDEF,1,0,0,>\n");
}

TEST(SettingsCli, MessageRefusesCommas) {
  Folder dir;
  for (const char* body : {"tm=44\r\n", "kr=44\r\n", "ht=A,B\r\n"}) {
    rv58::test::WriteBytes(dir.File("f.rv5"), std::string("[RV5]\r\n") + body);
    const CtlResult r = Ctl(dir, {"message", "f.rv5"});
    EXPECT_EQ(r.code, 3) << body;
    EXPECT_EQ(r.out, "") << body;
    EXPECT_EQ(r.err, "A \",\" karakter nem használható a beállítások között.\n") << body;
  }
  // The comma as error character passes.
  rv58::test::WriteBytes(dir.File("f.rv5"), "[RV5]\r\nhk=44\r\n");
  const CtlResult r = Ctl(dir, {"message", "f.rv5"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "<,9600,3,13,13,0,0,0,0,0,44,ERROR,1,0,0,>\n");
}

TEST(SettingsCli, OddFilesGiveTheDefaults) {
  Folder dir;
  std::string binary;
  for (int i = 0; i < 50000; ++i)
    binary.push_back(static_cast<char>((i * 37) & 0xFF));
  // Files without the section give the defaults, and a note on standard error naming the file.
  const std::vector<std::pair<std::string, bool>> contents = {
      {"", true}, {binary, true}, {std::string(64, '\0'), true}, {"[RV5]\rbd=abc\rpr=\r", false}};
  for (const auto& [content, noted] : contents) {
    rv58::test::WriteBytes(dir.File("odd.rv5"), content);
    const CtlResult r = Ctl(dir, {"message", "odd.rv5"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, kDefaultMessage);
    EXPECT_EQ(r.err.find("odd.rv5") != std::string::npos, noted) << r.err;
  }
  // A file that is not there: the defaults, and a note on standard error.
  const CtlResult r = Ctl(dir, {"message", "missing.rv5"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, kDefaultMessage);
  EXPECT_NE(r.err.find("missing.rv5"), std::string::npos);
}

TEST(SettingsCli, DefaultsKeepTheRestOfAnExistingFile) {
  Folder dir;
  rv58::test::WriteBytes(dir.File("f.rv5"), "; kept\r\n[RV5]\r\nbd=1\r\nown=x\r\n[Other]\r\na=b\r\n");
  const CtlResult r = Ctl(dir, {"defaults", "f.rv5"});
  EXPECT_EQ(r.code, 0);
  const std::string after = rv58::test::ReadBytes(dir.File("f.rv5"));
  EXPECT_EQ(after.rfind("; kept\r\n[RV5]\r\nbd=5\r\nown=x\r\npr=3\r\n", 0), 0u) << after;
  EXPECT_NE(after.find("\r\nnm=0\r\n[Other]\r\na=b\r\n"), std::string::npos) << after;
}

TEST(SettingsCli, DefaultsIntoAFileThatCannotBeWritten) {
  Folder dir;
  fs::create_directory(dir.File("folder"));
  // Paths the system resolves to no file: x.rv5 beside them keeps every byte.
  const std::string kept = "[RV5]\r\nbd=1\r\n[Other]\r\na=b\r\n";
  rv58::test::WriteBytes(dir.File("x.rv5"), kept);
  for (const char* target :
       {"no/such/folder/f.rv5", "folder", "nonexist/../x.rv5", "x.rv5/../x.rv5", "x.rv5/"}) {
    const CtlResult r = Ctl(dir, {"defaults", target});
    EXPECT_EQ(r.code, 2) << target;
    EXPECT_NE(r.err.find(target), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(rv58::test::ReadBytes(dir.File("x.rv5")), kept) << target;
  }
}

TEST(SettingsCli, UsageErrors) {
  Folder dir;
  const std::vector<std::vector<std::string>> calls = {{"--help"},
                                                       {"bogus"},
                                                       {"message", "a.rv5", "b.rv5"},
                                                       {"message", "--nope"},
                                                       {"defaults"},
                                                       {"defaults", "a", "b"},
                                                       {"defaults", "-x"},
                                                       {}};
  for (const auto& call : calls) {
    const CtlResult r = Ctl(dir, call);
    EXPECT_EQ(r.code, 1) << (call.empty() ? "" : call[0]);
    EXPECT_NE(r.err.find("Használat"), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
}

} // namespace
