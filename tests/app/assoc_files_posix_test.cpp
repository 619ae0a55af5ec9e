// The .rv5 association in a temporary home: which files, which lines, repeatability, and what
// happens when a folder cannot be written.
#include "fileassoc.h"
#include "testutil_files.h"
#include "testutil_tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace rv58;

namespace {

void WriteText(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

// Every regular file below a folder with its contents, paths relative to the folder.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file())
      files[fs::relative(e.path(), root).string()] = test::ReadBytes(e.path());
  return files;
}

class AssocFiles : public ::testing::Test {
protected:
  void SetUp() override {
    root = folder.Path();
    env.home = (root / "home").string();
    env.xdgDataHome = (root / "home/data").string();
    env.xdgConfigHome = (root / "home/config").string();
    // No refresh tools on this PATH, so exactly our own files appear.
    env.path = (root / "nobin").string();
    env.executable = "/opt/RV58 LED/bin/rv58led";
    fs::create_directories(env.home);
  }
  rv58::test::TempDir folder{"rv58assoc"};
  fs::path root;
  AssociationEnvironment env;
};

const char* const kDesktopEntryForTest = "[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Version=1.0\n"
                                         "Name=RV58LED\n"
                                         "GenericName=RV58LED beállítások\n"
                                         "Comment=Az RV58LED kijelző beállítása és feltöltése\n"
                                         "Exec=\"/opt/RV58 LED/bin/rv58led\" %f\n"
                                         "Icon=rv58led\n"
                                         "Terminal=false\n"
                                         "Categories=Utility;\n"
                                         "MimeType=application/x-rv58-settings;\n"
                                         "Actions=monitor;\n"
                                         "\n"
                                         "[Desktop Action monitor]\n"
                                         "Name=Mérlegfigyelő\n"
                                         "Exec=\"/opt/RV58 LED/bin/rv58led\" --monitor\n";

TEST_F(AssocFiles, WritesExactlyTheExpectedFilesAndLines) {
  const AssociationResult r = AssociateFileType(env);
  EXPECT_TRUE(r.mimePackage && r.desktopEntry && r.appIcon && r.mimeIcon && r.defaults);
  EXPECT_FALSE(r.mimeDatabaseRefreshed);
  EXPECT_FALSE(r.desktopDatabaseRefreshed);

  const auto files = Snapshot(env.home);
  std::map<std::string, std::string> expected = {
      {"data/mime/packages/rv58led-settings.xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
       "  <mime-type type=\"application/x-rv58-settings\">\n"
       "    <comment>RV58 Settings file</comment>\n"
       "    <sub-class-of type=\"text/plain\"/>\n"
       "    <glob pattern=\"*.rv5\"/>\n"
       "  </mime-type>\n"
       "</mime-info>\n"},
      {"data/applications/rv58led.desktop", kDesktopEntryForTest},
      {"data/icons/hicolor/scalable/apps/rv58led.svg", std::string(AppIconSvg())},
      {"data/icons/hicolor/scalable/mimetypes/application-x-rv58-settings.svg", std::string(AppIconSvg())},
      {"config/mimeapps.list", "[Default Applications]\n"
                               "application/x-rv58-settings=rv58led.desktop\n"
                               "\n"
                               "[Added Associations]\n"
                               "application/x-rv58-settings=rv58led.desktop;\n"},
  };
  EXPECT_EQ(files, expected);
  EXPECT_NE(AppIconSvg().find("<svg"), std::string_view::npos);

  // Folders we create are the user's own.
  struct stat st {};
  ASSERT_EQ(::stat((root / "home/data/mime").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat((root / "home/config/mimeapps.list").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(AssocFiles, TwiceGivesTheSameFiles) {
  AssociateFileType(env);
  const auto once = Snapshot(env.home);
  const AssociationResult second = AssociateFileType(env);
  EXPECT_TRUE(second.mimePackage && second.desktopEntry && second.defaults);
  EXPECT_EQ(Snapshot(env.home), once);
}

TEST_F(AssocFiles, DefaultFoldersWhenTheVariablesAreUnsetOrRelative) {
  env.xdgDataHome = "";
  env.xdgConfigHome = "relative/config";
  AssociateFileType(env);
  EXPECT_TRUE(fs::exists(root / "home/.local/share/applications/rv58led.desktop"));
  EXPECT_TRUE(fs::exists(root / "home/.local/share/mime/packages/rv58led-settings.xml"));
  EXPECT_TRUE(fs::exists(root / "home/.config/mimeapps.list"));
  EXPECT_FALSE(fs::exists(fs::current_path() / "relative"));
  EXPECT_FALSE(fs::exists(root / "home/data"));
}

TEST_F(AssocFiles, KeepsEveryOtherLineOfAnExistingMimeappsList) {
  const std::string before = "# my own choices\r\n"
                             "[Default Applications]\r\n"
                             "text/plain=org.gnome.TextEditor.desktop\r\n"
                             "application/x-rv58-settings=other.desktop\r\n"
                             "image/png=eog.desktop\r\n"
                             "\r\n"
                             "[Added Associations]\r\n"
                             "application/x-rv58-settings=other.desktop;\r\n"
                             "text/plain=vim.desktop;\r\n"
                             "\r\n"
                             "[Removed Associations]\r\n"
                             "application/x-rv58-settings=bad.desktop;";
  WriteText(root / "home/config/mimeapps.list", before);
  ::chmod((root / "home/config/mimeapps.list").c_str(), 0600);

  EXPECT_TRUE(AssociateFileType(env).defaults);
  EXPECT_EQ(test::ReadBytes(root / "home/config/mimeapps.list"),
            "# my own choices\r\n"
            "[Default Applications]\r\n"
            "text/plain=org.gnome.TextEditor.desktop\r\n"
            "application/x-rv58-settings=rv58led.desktop\r\n"
            "image/png=eog.desktop\r\n"
            "\r\n"
            "[Added Associations]\r\n"
            "application/x-rv58-settings=rv58led.desktop;other.desktop;\r\n"
            "text/plain=vim.desktop;\r\n"
            "\r\n"
            "[Removed Associations]\r\n"
            "application/x-rv58-settings=bad.desktop;");
  struct stat st {};
  ASSERT_EQ(::stat((root / "home/config/mimeapps.list").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file keeps its permissions";
}

TEST_F(AssocFiles, AMimeappsListKeptThroughASymbolicLinkIsUpdatedWhereItLives) {
  WriteText(root / "dotfiles/mimeapps.list", "[Default Applications]\ntext/plain=a.desktop\n");
  fs::create_directories(root / "home/config");
  fs::create_symlink(root / "dotfiles/mimeapps.list", root / "home/config/mimeapps.list");
  EXPECT_TRUE(AssociateFileType(env).defaults);
  EXPECT_TRUE(fs::is_symlink(root / "home/config/mimeapps.list"));
  EXPECT_EQ(test::ReadBytes(root / "dotfiles/mimeapps.list"),
            "[Default Applications]\ntext/plain=a.desktop\napplication/x-rv58-settings=rv58led.desktop\n\n"
            "[Added Associations]\napplication/x-rv58-settings=rv58led.desktop;\n");
}

TEST(AssocMimeappsList, AddsMissingKeysAndGroupsWithoutDuplicates) {
  // A group without our key gets it after its last key line, not after trailing blank lines.
  EXPECT_EQ(UpdateMimeAppsList("[Default Applications]\ntext/plain=a.desktop\n\n[Added Associations]\n",
                               "application/x-rv58-settings", "rv58led.desktop"),
            "[Default Applications]\ntext/plain=a.desktop\napplication/x-rv58-settings=rv58led.desktop\n\n"
            "[Added Associations]\napplication/x-rv58-settings=rv58led.desktop;\n");
  // Already in the list, also not in first place: nothing changes.
  const std::string done = "[Default Applications]\napplication/x-rv58-settings=rv58led.desktop\n"
                           "[Added Associations]\napplication/x-rv58-settings=x.desktop;rv58led.desktop;\n";
  EXPECT_EQ(UpdateMimeAppsList(done, "application/x-rv58-settings", "rv58led.desktop"), done);
  // A last line without a line end gets one before anything is added.
  EXPECT_EQ(UpdateMimeAppsList("[Other]\nk=v", "application/x-rv58-settings", "rv58led.desktop"),
            "[Other]\nk=v\n\n[Default Applications]\napplication/x-rv58-settings=rv58led.desktop\n\n"
            "[Added Associations]\napplication/x-rv58-settings=rv58led.desktop;\n");
  // A similar key of another type is left alone.
  EXPECT_EQ(UpdateMimeAppsList("[Default Applications]\napplication/x-rv58-settings-old=o.desktop\n",
                               "application/x-rv58-settings", "rv58led.desktop"),
            "[Default Applications]\napplication/x-rv58-settings-old=o.desktop\n"
            "application/x-rv58-settings=rv58led.desktop\n\n"
            "[Added Associations]\napplication/x-rv58-settings=rv58led.desktop;\n");
}

TEST_F(AssocFiles, DesktopSpecificListOnlyHasAnExistingDefaultReplaced) {
  env.currentDesktop = "ubuntu:GNOME";
  WriteText(root / "home/config/gnome-mimeapps.list",
            "[Default Applications]\napplication/x-rv58-settings=other.desktop\ntext/plain=a.desktop\n");
  WriteText(root / "home/config/ubuntu-mimeapps.list", "[Default Applications]\ntext/plain=b.desktop\n");
  AssociateFileType(env);
  EXPECT_EQ(test::ReadBytes(root / "home/config/gnome-mimeapps.list"),
            "[Default Applications]\napplication/x-rv58-settings=rv58led.desktop\ntext/plain=a.desktop\n");
  EXPECT_EQ(test::ReadBytes(root / "home/config/ubuntu-mimeapps.list"),
            "[Default Applications]\ntext/plain=b.desktop\n");
  EXPECT_FALSE(fs::exists(root / "home/config/kde-mimeapps.list"));
}

TEST_F(AssocFiles, AFolderThatCannotBeWrittenIsSkippedAndTheRestIsDone) {
  // A plain file where the MIME folder should be stops that step for any user, root included.
  WriteText(root / "home/data/mime", "not a folder");
  // The same for mimeapps.list itself being a folder.
  fs::create_directories(root / "home/config/mimeapps.list");

  AssociationResult r;
  EXPECT_NO_THROW(r = AssociateFileType(env));
  EXPECT_FALSE(r.mimePackage);
  EXPECT_FALSE(r.defaults);
  EXPECT_TRUE(r.desktopEntry);
  EXPECT_TRUE(r.appIcon);
  EXPECT_TRUE(r.mimeIcon);
  EXPECT_EQ(test::ReadBytes(root / "home/data/mime"), "not a folder");
  EXPECT_TRUE(fs::is_directory(root / "home/config/mimeapps.list"));
  EXPECT_TRUE(fs::is_empty(root / "home/config/mimeapps.list"));
}

TEST_F(AssocFiles, ReadOnlyFolderIsSkippedSilently) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root writes into read-only folders; the blocked-path case covers root";
  fs::create_directories(root / "home/data/applications");
  fs::permissions(root / "home/data/applications", fs::perms::owner_read | fs::perms::owner_exec);
  AssociationResult r;
  EXPECT_NO_THROW(r = AssociateFileType(env));
  EXPECT_FALSE(r.desktopEntry);
  EXPECT_TRUE(r.mimePackage);
  EXPECT_TRUE(r.defaults);
  EXPECT_TRUE(fs::is_empty(root / "home/data/applications"));
}

TEST_F(AssocFiles, NoHomeAtAllWritesNothing) {
  env.home = "";
  env.xdgDataHome = "";
  env.xdgConfigHome = "";
  const AssociationResult r = AssociateFileType(env);
  EXPECT_FALSE(r.mimePackage || r.desktopEntry || r.appIcon || r.defaults);
  EXPECT_TRUE(fs::is_empty(root / "home"));
}

TEST(AssocExec, FullPathIsQuotedWithTheDesktopEntryEscapes) {
  EXPECT_EQ(QuoteExecProgram("/usr/bin/rv58led"), "\"/usr/bin/rv58led\"");
  EXPECT_EQ(QuoteExecProgram("/home/me/My Tools/rv58led"), "\"/home/me/My Tools/rv58led\"");
  // '"', '`' and '$' take one backslash, a backslash ends up as four (quoting, then the value
  // escape), and '%' is doubled.
  EXPECT_EQ(QuoteExecProgram("/a\"b`c$d"), "\"/a\\\"b\\`c\\$d\"");
  EXPECT_EQ(QuoteExecProgram("/a\\b"), "\"/a\\\\\\\\b\"");
  EXPECT_EQ(QuoteExecProgram("/100%/rv58led"), "\"/100%%/rv58led\"");
  EXPECT_EQ(QuoteExecProgram("relative/rv58led"), "");
  EXPECT_EQ(QuoteExecProgram(""), "");
  EXPECT_EQ(QuoteExecProgram("/a\nb"), "");
}

TEST_F(AssocFiles, AnExecutablePathThatCannotBeQuotedSkipsOnlyTheDesktopEntry) {
  env.executable = "/tmp/odd\nname";
  const AssociationResult r = AssociateFileType(env);
  EXPECT_FALSE(r.desktopEntry);
  EXPECT_FALSE(fs::exists(root / "home/data/applications/rv58led.desktop"));
  EXPECT_TRUE(r.mimePackage && r.defaults);
}

// The package installs the same files system-wide; they must not drift from what the program
// writes for a single user.
TEST(AssocPackaging, InstalledFilesMatchWhatTheProgramWrites) {
  const fs::path packaging = fs::path(RV58_SOURCE_DIR) / "packaging";
  ASSERT_TRUE(fs::exists(packaging / "rv58led.desktop")) << packaging;
  EXPECT_EQ(test::ReadBytes(packaging / "rv58led.desktop"), DesktopEntryText("rv58led"));
  EXPECT_EQ(test::ReadBytes(packaging / "rv58led-settings.xml"), MimePackageXml());
  EXPECT_EQ(test::ReadBytes(packaging / "icons/rv58led.svg"), std::string(AppIconSvg()));
}

} // namespace
