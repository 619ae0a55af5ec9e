#include "fileio.h"

#include "strconv.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/magic.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace rv58::fileio {

namespace {

class TFd {
public:
  explicit TFd(int fd = -1) : fd_(fd) {}
  ~TFd() { Close(); }
  TFd(TFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  TFd& operator=(TFd&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  int Get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

private:
  int fd_;
};

bool WriteAll(int fd, std::string_view data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool IsWritable(const std::string& path, const struct stat& st) {
  return (st.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

mode_t CurrentUmask() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// Our temporary files of NAME are named ".NAME.rv58-XXXXXX.tmp": a name no editor, backup or
// sync tool gives, so the cleanup can never take a file of theirs. Files of the older
// ".NAME.XXXXXX" form cannot be told from other programs' and are left alone.
constexpr std::string_view kTempInfix = ".rv58-";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr std::size_t kTempRandomLength = 6;

bool IsTempLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

std::string TempName(const std::string& base) {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof(kChars) - 2);
  std::string name = "." + base + std::string(kTempInfix);
  for (std::size_t i = 0; i < kTempRandomLength; ++i)
    name.push_back(kChars[pick(random)]);
  return name + std::string(kTempSuffix);
}

bool IsTempNameOf(std::string_view entry, const std::string& base) {
  const std::string head = "." + base + std::string(kTempInfix);
  if (entry.size() != head.size() + kTempRandomLength + kTempSuffix.size() || !entry.starts_with(head) ||
      !entry.ends_with(kTempSuffix))
    return false;
  const std::string_view random = entry.substr(head.size(), kTempRandomLength);
  return std::all_of(random.begin(), random.end(), IsTempLetter);
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True while `name` in the folder is the file open as `fd`.
bool StillNamed(int folder, const std::string& name, int fd) {
  struct stat byName {};
  struct stat byFd {};
  return ::fstatat(folder, name.c_str(), &byName, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &byFd) == 0 &&
         SameFile(byName, byFd);
}

// A writer killed between naming its temporary file and renaming it left the file behind. Every
// writer holds a lock on its temporary file while it lives, so a file of our name, of the caller,
// that no one holds is such a leftover.
void RemoveStaleTemps(int folder, const std::string& base) {
  const int listFd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0)
    return;
  DIR* dir = ::fdopendir(listFd);
  if (dir == nullptr) {
    ::close(listFd);
    return;
  }
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTempNameOf(entry->d_name, base))
      continue;
    const TFd fd(::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (fd.Get() >= 0 && ::fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0 && StillNamed(folder, entry->d_name, fd.Get()))
      (void)::unlinkat(folder, entry->d_name, 0);
  }
  ::closedir(dir);
}

// Waits for the file's lock: writers of one file take turns. Another program that holds the lock
// for long makes the write fail rather than hang.
bool TakeTurn(int fd) {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + seconds(10);
  auto pause = microseconds(200);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR)
      return false;
    if (steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(pause);
    pause = std::min<microseconds>(pause * 2, milliseconds(20));
  }
  return true;
}

std::string LinkText(int dirFd, const char* name) {
  std::string text(256, '\0');
  for (;;) {
    const ssize_t n = ::readlinkat(dirFd, name, text.data(), text.size());
    if (n < 0)
      return {};
    if (static_cast<std::size_t>(n) < text.size()) {
      text.resize(static_cast<std::size_t>(n));
      return text;
    }
    text.resize(text.size() * 2); // never trust st_size: /proc reports 64 for any length
  }
}

// The components of a path, a trailing "/" kept as a final "." (the name must be a folder then).
void PushComponents(std::vector<std::string>& pending, std::string_view text) {
  const auto parts = SplitNonEmpty(text, '/');
  if (!text.empty() && text.back() == '/')
    pending.emplace_back(".");
  for (auto it = parts.rbegin(); it != parts.rend(); ++it)
    pending.emplace_back(*it);
}

bool IsProcFolder(int fd) {
  struct statfs fs {};
  return ::fstatfs(fd, &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

// The file a path names, found as the kernel finds it, in one walk over descriptors: every
// component opened without following links, `..` taken on the folder reached, a link followed
// by reading it, except where the system's own rule for shared folders forbids it (we apply it
// ourselves, since not every system turns on fs.protected_symlinks): in a sticky folder that
// everyone may write, a link is followed only when its owner is the caller or the folder's
// owner. The links of /proc (/proc/self/fd/N, /proc/self/cwd) name open files, not texts: the
// kernel follows them. Writes then create, link and rename relative to the folder found, so a
// folder swapped for a link after the walk cannot redirect them.
struct TTarget {
  TFd folder;
  std::string name;
  std::optional<struct stat> file; // what the walk found there; nothing for a missing name
};

bool FindTarget(const std::string& path, TTarget& out) {
  if (path.empty())
    return false;
  TFd folder(::open(path.front() == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  std::vector<std::string> pending; // components still to walk, the next one last
  PushComponents(pending, path);
  std::optional<struct stat> expected;
  int links = 0;
  while (!pending.empty()) {
    if (folder.Get() < 0)
      return false;
    const std::string part = std::move(pending.back());
    pending.pop_back();
    const bool last = pending.empty();
    if (part == "." || part == "..") {
      if (last)
        return false; // names a folder
      if (part == "..")
        folder = TFd(::openat(folder.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
      continue;
    }
    TFd next(::openat(folder.Get(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (next.Get() < 0) {
      if (errno != ENOENT || !last)
        return false; // a missing folder, or no right to look
      out.folder = std::move(folder);
      out.name = part;
      out.file.reset();
      return !expected;
    }
    if (::fstat(next.Get(), &st) != 0)
      return false;
    if (S_ISLNK(st.st_mode)) {
      if (++links > 40)
        return false;
      if (IsProcFolder(folder.Get())) {
        next = TFd(::openat(folder.Get(), part.c_str(), O_PATH | O_CLOEXEC));
        if (next.Get() < 0 || ::fstat(next.Get(), &st) != 0)
          return false;
        if (S_ISDIR(st.st_mode)) {
          folder = std::move(next);
          continue;
        }
        // A file has no folder descriptor to follow: walk its present name and insist that it
        // still names this file. A deleted file has no name to write to.
        if (!last || st.st_nlink == 0)
          return false;
        const std::string where = LinkText(AT_FDCWD, ("/proc/self/fd/" + std::to_string(next.Get())).c_str());
        if (where.empty() || where.front() != '/')
          return false;
        expected = st;
        folder = TFd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        PushComponents(pending, where);
        continue;
      }
      struct stat here {};
      if (::fstat(folder.Get(), &here) != 0)
        return false;
      if ((here.st_mode & S_ISVTX) != 0 && (here.st_mode & S_IWOTH) != 0 && st.st_uid != ::geteuid() &&
          st.st_uid != here.st_uid)
        return false;
      const std::string target = LinkText(next.Get(), "");
      if (target.empty())
        return false;
      if (target.front() == '/')
        folder = TFd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
      PushComponents(pending, target);
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      if (last)
        return false;
      folder = std::move(next);
      continue;
    }
    if (!last || !S_ISREG(st.st_mode))
      return false; // a file where a folder should be; a FIFO or a device
    if (expected && !SameFile(st, *expected))
      return false;
    out.folder = std::move(folder);
    out.name = part;
    out.file = st;
    return true;
  }
  return false;
}

// Gives the written temporary file what the old file had: its extended attributes (the access
// list among them), owner and group where the caller may give them, and its mode; a new file
// gets the ordinary permissions.
bool TakeOver(int fd, int oldFd, const struct stat* old) {
  if (old == nullptr)
    return ::fchmod(fd, 0666 & ~CurrentUmask()) == 0;
  const auto names = [](int from) {
    std::vector<std::string> list;
    std::string buffer(1024, '\0');
    ssize_t n;
    while ((n = ::flistxattr(from, buffer.data(), buffer.size())) < 0 && errno == ERANGE)
      buffer.resize(buffer.size() * 4);
    for (std::size_t i = 0; n > 0 && i < static_cast<std::size_t>(n); i += list.back().size() + 1)
      list.emplace_back(buffer.c_str() + i);
    return list;
  };
  const std::vector<std::string> kept = names(oldFd);
  for (const std::string& name : names(fd)) // inherited from the folder (a default access list)
    if (std::find(kept.begin(), kept.end(), name) == kept.end())
      (void)::fremovexattr(fd, name.c_str());
  for (const std::string& name : kept) {
    std::string value(256, '\0');
    ssize_t n;
    while ((n = ::fgetxattr(oldFd, name.c_str(), value.data(), value.size())) < 0 && errno == ERANGE)
      value.resize(value.size() * 4);
    if (n >= 0)
      (void)::fsetxattr(fd, name.c_str(), value.data(), static_cast<std::size_t>(n), 0);
  }
  if (old->st_uid != ::geteuid() || old->st_gid != ::getegid()) {
    // Only root may give a file away; a member of the old group may still give it that group.
    if (::fchown(fd, old->st_uid, old->st_gid) != 0)
      (void)::fchown(fd, static_cast<uid_t>(-1), old->st_gid);
  }
  return ::fchmod(fd, old->st_mode & 07777) == 0;
}

enum class TempResult { Done, Failed, NoTempFile, Raced };

// A new file in the folder that only this writer uses, locked from its start: an unnamed one
// where the system has them (named only when complete), otherwise one of our temporary names.
TFd OpenTemp(int folder, const std::string& base, std::string& name, TempResult& error) {
  error = TempResult::Failed;
  TFd fd(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (fd.Get() < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    if (errno == EACCES || errno == EPERM || errno == EROFS)
      error = TempResult::NoTempFile;
    return TFd();
  }
  name.clear();
  for (int attempt = 0; fd.Get() < 0 && attempt < 8; ++attempt) {
    name = TempName(base);
    fd = TFd(::openat(folder, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.Get() < 0 && errno != EEXIST) {
      if (errno == EACCES || errno == EPERM || errno == EROFS)
        error = TempResult::NoTempFile;
      return TFd();
    }
  }
  if (fd.Get() >= 0 && ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (!name.empty())
      (void)::unlinkat(folder, name.c_str(), 0);
    return TFd();
  }
  return fd;
}

// Gives the complete unnamed file one of our temporary names.
bool NameTemp(int folder, int fd, const std::string& base, std::string& name) {
  const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 8; ++attempt) {
    name = TempName(base);
    if (::linkat(AT_FDCWD, procPath.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
        ::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0)
      return true;
    if (errno != EEXIST)
      return false;
  }
  return false;
}

// Puts our complete temporary file in the old one's place; a name that was missing is created
// only if no other writer created it meanwhile (Raced: that writer's keys must be read first).
TempResult PutInPlace(int folder, const std::string& temp, const std::string& name, bool exists) {
  if (exists) {
    if (::renameat(folder, temp.c_str(), folder, name.c_str()) == 0)
      return TempResult::Done;
  } else if (::renameat2(folder, temp.c_str(), folder, name.c_str(), RENAME_NOREPLACE) == 0) {
    return TempResult::Done;
  } else if (errno == EINVAL && ::linkat(folder, temp.c_str(), folder, name.c_str(), 0) == 0) {
    (void)::unlinkat(folder, temp.c_str(), 0); // a file system without the no-replace rename
    return TempResult::Done;
  }
  const int error = errno;
  (void)::unlinkat(folder, temp.c_str(), 0);
  if (error == EEXIST || error == ENOENT) // created meanwhile; our name taken for a leftover
    return TempResult::Raced;
  // Another user's file in a sticky folder may be written but not replaced.
  return error == EPERM || error == EACCES ? TempResult::NoTempFile : TempResult::Failed;
}

// The new content in a file of its own, put in the old one's place when complete; a process
// killed on the way leaves the old file whole.
TempResult ReplaceAt(const TTarget& target, int oldFd, std::string_view content) {
  const int folder = target.folder.Get();
  const struct stat* old = target.file ? &*target.file : nullptr;
  std::string temp;
  TempResult result = TempResult::Failed;
  TFd fd = OpenTemp(folder, target.name, temp, result);
  if (fd.Get() < 0)
    return result;
  bool ok = TakeOver(fd.Get(), oldFd, old) && WriteAll(fd.Get(), content) && ::fsync(fd.Get()) == 0;
  if (ok && temp.empty())
    ok = NameTemp(folder, fd.Get(), target.name, temp);
  if (!ok) {
    if (!temp.empty())
      (void)::unlinkat(folder, temp.c_str(), 0);
    return TempResult::Failed;
  }
  result = PutInPlace(folder, temp, target.name, old != nullptr);
  if (result == TempResult::Done) {
    const TFd sync(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (sync.Get() >= 0)
      (void)::fsync(sync.Get());
    RemoveStaleTemps(folder, target.name); // our own file is still locked by `fd`
  }
  return result;
}

// Writes the open file in place, in one step that a killed process cannot interrupt: old and new
// content within one page of memory, a shorter content padded with `filler` to the old length.
bool WriteInPlace(int fd, std::string_view content, std::string_view filler) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    return false;
  // The kernel copies one page of a write before it looks at a pending kill again, so a write of
  // one page from the file's start is done whole or not at all.
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const auto oldSize = static_cast<std::size_t>(st.st_size);
  const std::optional<std::string> filled = InPlaceContent(content, oldSize, page, filler);
  if (!filled)
    return false;
  const std::string& data = *filled;
  std::string before(oldSize, '\0');
  if (::pread(fd, before.data(), before.size(), 0) != static_cast<ssize_t>(before.size()))
    return false;
  ssize_t n;
  do {
    n = ::pwrite(fd, data.data(), data.size(), 0);
  } while (n < 0 && errno == EINTR);
  if (n != static_cast<ssize_t>(data.size())) {
    if (n > 0) { // a full disk stopped it half way: put the old bytes back
      (void)WriteAll(fd, before);
      (void)::ftruncate(fd, static_cast<off_t>(oldSize));
    }
    return false;
  }
  return ::fsync(fd) == 0;
}

bool ReadAll(int fd, std::string& content) {
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    return false;
  // One byte more than the size, so that the end shows without growing the buffer.
  content.resize(static_cast<std::size_t>(st.st_size) + 1);
  std::size_t got = 0;
  for (;;) {
    if (got == content.size())
      content.resize(content.size() * 2); // the file has grown since fstat
    const ssize_t n = ::read(fd, content.data() + got, content.size() - got);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      content.clear();
      return false;
    }
    if (n == 0)
      break;
    got += static_cast<std::size_t>(n);
  }
  content.resize(got);
  return true;
}

enum class EditResult { Done, Failed, Again };

// One attempt: the file found, locked, read, edited and written, all on what the walk found.
EditResult EditOnce(const std::string& path, const Editor& edit) {
  TTarget target;
  if (!FindTarget(path, target))
    return EditResult::Failed;
  const int folder = target.folder.Get();
  TFd file;
  std::string old;
  if (target.file) {
    file =
        TFd(::openat(folder, target.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (file.Get() < 0)
      return errno == ENOENT || errno == ELOOP ? EditResult::Again : EditResult::Failed;
    if (::fstat(file.Get(), &st) != 0 || !SameFile(st, *target.file))
      return EditResult::Again;
    // Writers of one file take turns; the one before may have put a new file in this one's place.
    if (!TakeTurn(file.Get()))
      return EditResult::Failed;
    if (!StillNamed(folder, target.name, file.Get()) || !ReadAll(file.Get(), old) ||
        ::fstat(file.Get(), &*target.file) != 0)
      return StillNamed(folder, target.name, file.Get()) ? EditResult::Failed : EditResult::Again;
  }
  const std::optional<NewContent> edited = edit(target.file ? &old : nullptr);
  // A read-only file stays read-only, as on Windows, also for an administrator.
  const bool writable = !target.file || ((target.file->st_mode & 0222) != 0 &&
                                         ::faccessat(folder, target.name.c_str(), W_OK, 0) == 0);
  if (!edited || !writable)
    return writable ? EditResult::Done : EditResult::Failed;
  // A file of several names is written in place, so every name sees the new content.
  TempResult result = target.file && target.file->st_nlink > 1
                          ? TempResult::NoTempFile
                          : ReplaceAt(target, file.Get(), edited->content);
  if (result == TempResult::NoTempFile && target.file) {
    const TFd rw(
        ::openat(folder, target.name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    result = rw.Get() >= 0 && ::fstat(rw.Get(), &st) == 0 && SameFile(st, *target.file) &&
                     WriteInPlace(rw.Get(), edited->content, edited->filler)
                 ? TempResult::Done
                 : TempResult::Failed;
  }
  return result == TempResult::Done    ? EditResult::Done
         : result == TempResult::Raced ? EditResult::Again
                                       : EditResult::Failed;
}

} // namespace

ReadStatus ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  const TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.Get() < 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      return ReadStatus::Missing;
    return errno == EISDIR ? ReadStatus::NotAFile : ReadStatus::Failed;
  }
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0)
    return ReadStatus::Failed;
  if (!S_ISREG(st.st_mode))
    return ReadStatus::NotAFile;
  return ReadAll(fd.Get(), content) ? ReadStatus::Ok : ReadStatus::Failed;
}

Info Inspect(const std::string& path) {
  Info info;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return info;
  info.kind = S_ISREG(st.st_mode) ? Kind::File : S_ISDIR(st.st_mode) ? Kind::Folder : Kind::Other;
  info.writable = IsWritable(path, st);
  return info;
}

bool IsWritableFolder(const std::string& folder) {
  return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

namespace {

bool MakeFolders(const std::string& folder, mode_t mode) {
  if (folder.empty())
    return false;
  for (std::size_t i = 1; i <= folder.size(); ++i) {
    if (i < folder.size() && folder[i] != '/')
      continue;
    const std::string prefix = folder.substr(0, i);
    if (::mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST)
      return false;
  }
  return Inspect(folder).kind == Kind::Folder;
}

} // namespace

bool CreateFolders(const std::string& folder) {
  return MakeFolders(folder, 0777);
}

bool CreateUserFolders(const std::string& folder) {
  return MakeFolders(folder, 0700);
}

bool EditFile(const std::string& path, const Editor& edit) {
  // A competitor may put its new file in place between our walk and our lock, or create the
  // missing file first: then walk again and edit what it wrote.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const EditResult result = EditOnce(path, edit);
    if (result != EditResult::Again)
      return result == EditResult::Done;
  }
  return false;
}

std::optional<Ownership> OwnershipOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return std::nullopt;
  return Ownership{st.st_uid, st.st_gid, static_cast<std::uint32_t>(st.st_mode & 0777)};
}

bool CanReadWrite(const std::string& path) {
  return ::access(path.c_str(), R_OK | W_OK) == 0;
}

UserIds CurrentUserIds() {
  UserIds ids;
  ids.user = ::geteuid();
  ids.groups.push_back(::getegid());
  const int n = ::getgroups(0, nullptr);
  if (n > 0) {
    std::vector<gid_t> more(static_cast<std::size_t>(n));
    const int got = ::getgroups(n, more.data());
    if (got > 0)
      ids.groups.insert(ids.groups.end(), more.begin(), more.begin() + got);
  }
  return ids;
}

std::string GroupName(std::uint32_t group) {
  std::vector<char> buf(4096);
  struct group g {};
  struct group* found = nullptr;
  if (::getgrgid_r(group, &g, buf.data(), buf.size(), &found) == 0 && found && found->gr_name)
    return found->gr_name;
  return std::to_string(group);
}

const std::string& ExecutablePath() {
  static const std::string path = [] {
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
      return std::string();
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
  }();
  return path;
}

std::string ConfigHome(std::string_view xdgConfigHome, std::string_view home) {
  if (!xdgConfigHome.empty() && xdgConfigHome.front() == '/')
    return std::string(xdgConfigHome);
  return (home.empty() ? std::string("/tmp") : std::string(home)) + "/.config";
}

std::string ConfigHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  return ConfigHome(xdg != nullptr ? xdg : "", home != nullptr ? home : "");
}

} // namespace rv58::fileio
