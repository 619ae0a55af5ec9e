// Settings files on POSIX: a save that meets a full disk.
#include "settingsfile.h"

#include "testutil_files.h"
#include "testutil_filesizelimit.h"

#include <gtest/gtest.h>

namespace {

using rv58::DisplaySettings;
using rv58::TIniFile;
using rv58::test::ReadBytes;
using rv58::test::TempDir;
using rv58::test::WithFileSizeLimit;
using rv58::test::WriteBytes;

DisplaySettings Defaults(const std::string& port = "") {
  DisplaySettings s = DisplaySettings::Defaults();
  s.SetComport_up(port);
  return s;
}

constexpr const char* kDefaultFileLines =
    "[RV5]\r\nbd=5\r\npr=3\r\ntm=13\r\nkr=13\r\nle=0\r\nlh=0\r\nfe=0\r\n"
    "tp=0\r\nbt=0\r\nhk=114\r\nor=0\r\nht=ERROR\r\nnev=M\xE9rleg\r\nau=1\r\n"
    "ve=1\r\ncomment=\r\nport=COM1\r\nnm=0\r\n";

TEST(Savefile, AFailedSaveKeepsTheOldSettingsWhole) {
  // A full disk, simulated by a file size limit: no key of the new settings may land alone.
  TempDir dir;
  const std::string before = std::string(kDefaultFileLines) + std::string(8000, ';') + "\r\n";
  WriteBytes(dir.File("f.rv5"), before);
  TIniFile file(dir.File("f.rv5"));
  DisplaySettings s = Defaults("COM3");
  s.SetBd(0);
  s.SetNm(true);
  bool saved_ok = true;
  ASSERT_NO_FATAL_FAILURE(WithFileSizeLimit(4096, [&] { saved_ok = rv58::savefile(s, file); }));
  EXPECT_FALSE(saved_ok);
  EXPECT_EQ(ReadBytes(dir.File("f.rv5")), before);
  ASSERT_TRUE(rv58::savefile(s, file));
  EXPECT_EQ(file.ReadSectionSnapshot("RV5").ReadInteger("bd", 99), 0);
  EXPECT_EQ(file.ReadSectionSnapshot("RV5").ReadInteger("nm", 99), 1);
}

} // namespace
