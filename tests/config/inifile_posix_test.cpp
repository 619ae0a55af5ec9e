// The INI file on POSIX: permissions, links, folders without write rights, a full disk, FIFOs.
#include "inifile.h"

#include "testutil_files.h"
#include "testutil_filesizelimit.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using rv58::TIniFile;
using rv58::test::ReadBytes;
using rv58::test::TempDir;
using rv58::test::WithFileSizeLimit;
using rv58::test::WriteBytes;

TEST(IniWrite, KeepsPermissionsAndLinks) {
  TempDir dir;
  WriteBytes(dir.File("f.ini"), "[s]\r\nk=1\r\n");
  ASSERT_EQ(::chmod(dir.File("f.ini").c_str(), 0640), 0);
  TIniFile ini(dir.File("f.ini"));
  ASSERT_TRUE(ini.WriteString("s", "k", "2"));
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("f.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  // A new file gets the ordinary permissions, not the private ones of a temporary file.
  const mode_t old = ::umask(022);
  TIniFile fresh(dir.File("fresh.ini"));
  ASSERT_TRUE(fresh.WriteString("s", "k", "1"));
  ::umask(old);
  ASSERT_EQ(::stat(dir.File("fresh.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);

  // Writing through a symbolic link changes the file it names and keeps the link.
  std::filesystem::create_symlink(dir.File("f.ini"), dir.File("link.ini"));
  TIniFile link(dir.File("link.ini"));
  ASSERT_TRUE(link.WriteString("s", "k", "3"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.ini")));
  EXPECT_EQ(ReadBytes(dir.File("f.ini")), "[s]\r\nk=3\r\n");

  // No temporary files are left behind.
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
    ++entries;
  EXPECT_EQ(entries, 3);
}

// Runs `write` as a user who may write the file but not its folder: another user when we are
// root (root may write any folder), else ourselves with the folder made read-only.
template <class F> bool WriteWithoutFolderRights(const TempDir& dir, const std::string& file, F&& write) {
  constexpr uid_t kNobody = 65534;
  if (::geteuid() == 0) {
    if (::chown(file.c_str(), kNobody, kNobody) != 0)
      return false;
    const pid_t child = ::fork();
    if (child == 0)
      ::_exit(::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 && write() ? 0 : 1);
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  ::chmod(dir.Path().c_str(), 0555);
  const bool ok = write();
  ::chmod(dir.Path().c_str(), 0755);
  return ok;
}

TEST(IniWrite, FileInAFolderWithoutRightsIsWrittenInOneStepOrNotAtAll) {
  TempDir dir;
  ::chmod(dir.Path().c_str(), 0755);
  const std::string file = dir.File("f.ini");
  // Shorter content is filled up with blanks, so that no second step (truncation) is needed.
  WriteBytes(file, "[s]\r\nk=100\r\n");
  EXPECT_TRUE(WriteWithoutFolderRights(dir, file, [&] { return TIniFile(file).WriteString("s", "k", "2"); }));
  EXPECT_EQ(ReadBytes(file), "[s]\r\nk=2\r\n  ");
  EXPECT_EQ(TIniFile(file).ReadString("s", "k", ""), "2");
  // A file larger than one page could be torn by a kill: refused, unchanged.
  const std::string large = "[s]\r\nk=1\r\n" + std::string(5000, ';') + "\r\n";
  WriteBytes(file, large);
  EXPECT_FALSE(
      WriteWithoutFolderRights(dir, file, [&] { return TIniFile(file).WriteString("s", "k", "2"); }));
  EXPECT_EQ(ReadBytes(file), large);
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
    ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(IniWrite, LinkOfAnotherUserInASharedFolderIsNotFollowed) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "only root can plant a link of another user";
  TempDir dir;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 01777), 0); // like /tmp
  WriteBytes(dir.File("target.ini"), "[s]\r\nk=1\r\n");
  std::filesystem::create_symlink(dir.File("target.ini"), dir.File("planted.ini"));
  std::filesystem::create_symlink(dir.File("target.ini"), dir.File("mine.ini"));
  ASSERT_EQ(::lchown(dir.File("planted.ini").c_str(), 65534, 65534), 0);
  EXPECT_FALSE(TIniFile(dir.File("planted.ini")).WriteString("s", "k", "2"));
  EXPECT_EQ(ReadBytes(dir.File("target.ini")), "[s]\r\nk=1\r\n");
  EXPECT_TRUE(TIniFile(dir.File("mine.ini")).WriteString("s", "k", "3"));
  // The folder's owner's links are followed too.
  ASSERT_EQ(::chown(dir.Path().c_str(), 65534, 65534), 0);
  EXPECT_TRUE(TIniFile(dir.File("planted.ini")).WriteString("s", "k", "4"));
  EXPECT_EQ(ReadBytes(dir.File("target.ini")), "[s]\r\nk=4\r\n");
}

TEST(IniWrite, FailureHalfWayLeavesTheOldFile) {
  // A full disk, simulated with a file size limit smaller than the new content.
  TempDir dir;
  const std::string before = "[s]\r\nk=1\r\n" + std::string(20000, ';') + "\r\n";
  WriteBytes(dir.File("f.ini"), before);
  TIniFile ini(dir.File("f.ini"));
  bool written = true;
  ASSERT_NO_FATAL_FAILURE(WithFileSizeLimit(4096, [&] { written = ini.WriteString("s", "k", "2"); }));
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadBytes(dir.File("f.ini")), before);
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
    ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(IniBadInput, FifoReadsAsMissingWithoutHanging) {
  TempDir dir;
  const std::string def = "<d>";
  // A FIFO would block a plain read.
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  TIniFile ini(dir.File("fifo"));
  EXPECT_EQ(ini.ReadString("s", "k", def), def);
  EXPECT_FALSE(ini.WriteString("s", "k", "v"));
  EXPECT_TRUE(std::filesystem::is_fifo(dir.File("fifo")));
}

} // namespace
