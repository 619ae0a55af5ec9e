#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rv58::fileio {

// The few file-system operations the program needs, one implementation per platform
// (fileio_posix.cpp, fileio_win.cpp). Paths are UTF-8 on every platform.

enum class ReadStatus {
  Ok,
  Missing,  // nothing there (or a path through a missing folder)
  NotAFile, // a folder, a FIFO, a device: never read, since it may block or never end
  Failed,   // there, but it cannot be read (no permission, an I/O error)
};

// Reads a regular file whole into `content` (empty unless Ok).
ReadStatus ReadWholeFile(const std::string& path, std::string& content);

enum class Kind { Missing, File, Folder, Other };

struct Info {
  Kind kind = Kind::Missing;
  // A file that may be written: the caller has the permission and the file has a write bit, so a
  // read-only file stays read-only also for an administrator.
  bool writable = false;
};

// What the path names, links followed.
Info Inspect(const std::string& path);

// True when files can be created in the folder.
bool IsWritableFolder(const std::string& folder);

// Creates the folder and its missing parents; true when it exists afterwards.
bool CreateFolders(const std::string& folder);
// The same, but the folders it creates are the user's alone (mode 0700 where modes exist), as
// the freedesktop base-directory rules ask of the user's data and config folders.
bool CreateUserFolders(const std::string& folder);

// The new content of a file edited by EditFile, and text that may be added at its end without
// changing its meaning (blanks after the last line of a text file), which an in-place write uses
// not to shorten the file.
struct NewContent {
  std::string content;
  std::string filler;
};

// Makes the new content from the file's present content (nullptr: no file there yet); nothing
// leaves the file as it is.
using Editor = std::function<std::optional<NewContent>(const std::string* old)>;

// Reads the file and replaces its content with what `edit` makes of it. Writers of one file take
// turns: each reads the file anew when its turn comes, so no writer's edit is lost. A reader,
// and a process killed at any moment, sees the old or the new content whole: the new content is
// written to a file of its own in the same folder and put in place when complete. The file
// keeps its permissions, access list and other extended attributes, and, where the caller may
// give them, its owner and group; a missing file is created with the ordinary permissions. A file
// that has more than one name, or whose folder takes no new file, is written in place (within
// one page, see InPlaceContent). Temporary files that an interrupted writer of this program left
// are removed; no other file is.
//
// The path names the file the system names for it, found once: folders swapped for links
// afterwards do not redirect the write. Symbolic links are followed, except where the system's
// own rule for shared folders forbids it: in a folder that everyone may write and whose entries
// only their owners may remove (/tmp), a link is followed only when it belongs to the caller or
// to the folder's owner.
//
// False when the file could not be written (missing folder, a path the system resolves to no
// file, no permission, not a regular file, a deleted file, a forbidden link, disk full); the file
// is then unchanged. An edit that changes nothing is true where a write would succeed.
bool EditFile(const std::string& path, const Editor& edit);

// EditFile with content that does not depend on the old.
inline bool ReplaceFile(const std::string& path, std::string_view content, std::string_view filler = {}) {
  return EditFile(path, [&](const std::string*) {
    return std::optional<NewContent>(NewContent{std::string(content), std::string(filler)});
  });
}

// What an in-place write puts at the file's start, on every platform: the content, filled up with
// `filler` to the old length (shortening would take a second step, a truncation), or nothing when
// old or new exceed one page or the filler cannot make up the difference.
inline std::optional<std::string> InPlaceContent(std::string_view content, std::size_t oldSize,
                                                 std::size_t page, std::string_view filler) {
  if (content.size() > page || oldSize > page)
    return std::nullopt;
  std::string data(content);
  if (data.size() < oldSize) {
    if (filler.empty() || (oldSize - data.size()) % filler.size() != 0)
      return std::nullopt;
    while (data.size() < oldSize)
      data.append(filler);
  }
  return data;
}

// Who may open a file: its owner, group and permission bits (links followed), for telling the
// user why a device cannot be opened. Nothing when the path names nothing. Windows has no such
// ids: there every file counts as the caller's own, its write bit deciding.
struct Ownership {
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  std::uint32_t mode = 0; // the permission bits, 0777 at most
};
std::optional<Ownership> OwnershipOf(const std::string& path);

// The system's own answer whether this process may open the file for reading and writing; unlike
// the bits above it also counts access lists (a desktop seat's devices).
bool CanReadWrite(const std::string& path);

// The user this process runs as and its groups: the effective group, then the supplementary ones.
struct UserIds {
  std::uint32_t user = 0;
  std::vector<std::uint32_t> groups;
};
UserIds CurrentUserIds();

// A group's name, or its number when it has none.
std::string GroupName(std::uint32_t group);

// The path of the running program, read once.
const std::string& ExecutablePath();

// The user's configuration folder: $XDG_CONFIG_HOME when set to an absolute path, otherwise
// $HOME/.config (without a home, /tmp/.config). The pure rule is open for tests.
std::string ConfigHome();
std::string ConfigHome(std::string_view xdgConfigHome, std::string_view home);

} // namespace rv58::fileio
