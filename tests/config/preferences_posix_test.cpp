// Where the preferences file lives on Linux: beside a writable program, else the XDG folder.
#include "prefspath.h"

#include "testutil_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using rv58::test::TempDir;

TEST(PreferencesLocation, SystemFolders) {
  for (const char* f : {"/usr", "/usr/bin", "/usr/local/bin", "/bin", "/sbin", "/lib", "/opt/rv58", "/etc"})
    EXPECT_TRUE(rv58::IsSystemFolder(f)) << f;
  for (const char* f : {"/usrx", "/optical", "/home/u/bin", "/tmp", "/", "/etcetera"})
    EXPECT_FALSE(rv58::IsSystemFolder(f)) << f;
}

TEST(PreferencesLocation, BesideAWritableExecutableFolder) {
  TempDir dir;
  rv58::PreferencesEnvironment env{dir.Path().string(), dir.File("home"), dir.File("xdg")};
  EXPECT_EQ(rv58::PreferencesFilePath(env), dir.File("rv58led.ini"));
  EXPECT_EQ(rv58::DefaultDialogFolder(env), dir.Path().string());
  EXPECT_FALSE(std::filesystem::exists(dir.File("xdg")));
}

TEST(PreferencesLocation, XdgFolderForInstalledOrReadOnlyPrograms) {
  TempDir dir;
  // An installed program (system folder): the XDG config folder, created.
  rv58::PreferencesEnvironment env{"/usr/bin", dir.File("home"), dir.File("xdg")};
  EXPECT_EQ(rv58::PreferencesFilePath(env), dir.File("xdg") + "/rv58led/rv58led.ini");
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("xdg") + "/rv58led"));
  EXPECT_EQ(rv58::DefaultDialogFolder(env), dir.File("home"));

  // $XDG_CONFIG_HOME unset or relative: ~/.config.
  env.xdgConfigHome = "";
  EXPECT_EQ(rv58::PreferencesFilePath(env), dir.File("home") + "/.config/rv58led/rv58led.ini");
  env.xdgConfigHome = "relative/cfg";
  EXPECT_EQ(rv58::PreferencesFilePath(env), dir.File("home") + "/.config/rv58led/rv58led.ini");

  // A folder that does not exist is not writable.
  env.executableDir = dir.File("gone");
  env.xdgConfigHome = dir.File("xdg");
  EXPECT_EQ(rv58::PreferencesFilePath(env), dir.File("xdg") + "/rv58led/rv58led.ini");

  // A preferences file that already lies beside the executable is used even when its folder
  // cannot be written (root writes everywhere, so this part needs an ordinary user).
  if (::geteuid() != 0) {
    const std::string ro = dir.File("ro");
    std::filesystem::create_directory(ro);
    rv58::test::WriteBytes(ro + "/rv58led.ini", "");
    ASSERT_EQ(::chmod(ro.c_str(), 0555), 0);
    env.executableDir = ro;
    EXPECT_EQ(rv58::PreferencesFilePath(env), ro + "/rv58led.ini");
    env.executableDir = dir.File("ro2");
    std::filesystem::create_directory(env.executableDir);
    ASSERT_EQ(::chmod(env.executableDir.c_str(), 0555), 0);
    EXPECT_EQ(rv58::PreferencesFilePath(env), dir.File("xdg") + "/rv58led/rv58led.ini");
  }
}

} // namespace
