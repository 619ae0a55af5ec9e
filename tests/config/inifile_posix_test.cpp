// The INI file on POSIX: permissions, links, folders without write rights, a full disk, FIFOs.
#include "inifile.h"

#include "testutil_files.h"
#include "testutil_filesizelimit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
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

TEST(IniWrite, AFolderSwappedForALinkDuringWritesDoesNotRedirectThem) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "only root can plant a link of another user";
  TempDir dir;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 01777), 0); // like /tmp
  std::filesystem::create_directory(dir.File("sub"));
  std::filesystem::create_directory(dir.File("victim"));
  std::filesystem::create_symlink(dir.File("victim"), dir.File("evil"));
  ASSERT_EQ(::lchown(dir.File("evil").c_str(), 65534, 65534), 0);
  // Another user swaps the folder and the link back and forth while root writes into the folder.
  std::atomic<bool> stop{false};
  std::thread swapper([&] {
    while (!stop)
      (void)::renameat2(AT_FDCWD, dir.File("sub").c_str(), AT_FDCWD, dir.File("evil").c_str(),
                        RENAME_EXCHANGE);
  });
  for (int i = 0; i < 500; ++i)
    (void)TIniFile(dir.File("sub/f.ini")).WriteString("s", "k", std::to_string(i));
  stop = true;
  swapper.join();
  EXPECT_FALSE(std::filesystem::exists(dir.File("victim/f.ini")));
}

TEST(IniWrite, KeepsOwnerAccessListAttributesAndHardLinks) {
  TempDir dir;
  const std::string file = dir.File("f.ini");
  WriteBytes(file, "[s]\r\nk=1\r\n");
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  // An access list granting user 65534 rw- (mask rw-), set as the raw attribute: version 2, then
  // (tag, permissions, id) for the owner, the user, the group, the mask and the others.
  const auto entry = [](std::uint16_t tag, std::uint16_t perm, std::uint32_t id) {
    std::string e(8, '\0');
    std::memcpy(e.data(), &tag, 2);
    std::memcpy(e.data() + 2, &perm, 2);
    std::memcpy(e.data() + 4, &id, 4);
    return e;
  };
  const std::string acl = std::string("\x02\0\0\0", 4) + entry(1, 6, ~0u) + entry(2, 6, 65534) +
                          entry(4, 4, ~0u) + entry(0x10, 6, ~0u) + entry(0x20, 0, ~0u);
  const auto attribute = [&](const char* name) {
    std::string value(256, '\0');
    const ssize_t n = ::getxattr(file.c_str(), name, value.data(), value.size());
    return n < 0 ? std::string("<none>") : value.substr(0, static_cast<std::size_t>(n));
  };
  if (::setxattr(file.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0 ||
      ::setxattr(file.c_str(), "user.origin", "scale", 5, 0) != 0)
    GTEST_SKIP() << "no access lists or user attributes here";
  if (::geteuid() == 0) { // a user's file, saved by root
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
  }
  struct stat before {};
  ASSERT_EQ(::stat(file.c_str(), &before), 0);
  ASSERT_TRUE(TIniFile(file).WriteString("s", "k", "2"));
  struct stat after {};
  ASSERT_EQ(::stat(file.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_EQ(attribute("system.posix_acl_access"), acl);
  EXPECT_EQ(attribute("user.origin"), "scale");
  // A file of two names is written in place: both see the new content.
  std::filesystem::create_hard_link(file, dir.File("other.ini"));
  ASSERT_TRUE(TIniFile(dir.File("other.ini")).WriteString("s", "k", "3"));
  EXPECT_EQ(ReadBytes(file), "[s]\r\nk=3\r\n");
  EXPECT_TRUE(std::filesystem::equivalent(file, dir.File("other.ini")));
}

TEST(IniWrite, ProcLinksAreFollowedAsTheKernelFollowsThem) {
  TempDir dir;
  // A long name behind /proc/self/fd/N and a long working folder behind /proc/self/cwd.
  const std::string longName = dir.File(std::string(100, 'n') + ".ini");
  WriteBytes(longName, "[s]\r\nk=1\r\n");
  const int fd = ::open(longName.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(TIniFile("/proc/self/fd/" + std::to_string(fd)).WriteString("s", "k", "2"));
  EXPECT_EQ(ReadBytes(longName), "[s]\r\nk=2\r\n");
  std::filesystem::path deep = dir.Path();
  for (int i = 0; i < 5; ++i)
    deep /= std::string(60, static_cast<char>('a' + i));
  std::filesystem::create_directories(deep);
  const auto home = std::filesystem::current_path();
  std::filesystem::current_path(deep);
  const bool viaCwd = TIniFile("/proc/self/cwd/f.ini").WriteString("s", "k", "3");
  std::filesystem::current_path(home);
  EXPECT_TRUE(viaCwd);
  EXPECT_EQ(ReadBytes(deep / "f.ini"), "[s]\r\nk=3\r\n");
  // A deleted file has no name to write to: nothing is written, no "NAME (deleted)" appears.
  ASSERT_EQ(::unlink(longName.c_str()), 0);
  EXPECT_FALSE(TIniFile("/proc/self/fd/" + std::to_string(fd)).WriteString("s", "k", "4"));
  ::close(fd);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
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
