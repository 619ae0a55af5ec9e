#include "fileio.h"

#include "strconv.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace rv58::fileio {

namespace {

class TFd {
public:
  explicit TFd(int fd = -1) : fd_(fd) {}
  ~TFd() { Close(); }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
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

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ".NAME.XXXXXX": the temporary files of NAME, ours and those of older versions.
constexpr std::size_t kTempSuffixLength = 6;

std::string TempName(const std::string& folder, const std::string& base) {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof(kChars) - 2);
  std::string name = folder + "/." + base + ".";
  for (std::size_t i = 0; i < kTempSuffixLength; ++i)
    name.push_back(kChars[pick(random)]);
  return name;
}

bool IsTempNameOf(std::string_view entry, const std::string& base) {
  if (entry.size() != base.size() + 2 + kTempSuffixLength || entry.front() != '.' ||
      entry.substr(1, base.size()) != base || entry[base.size() + 1] != '.')
    return false;
  for (char c : entry.substr(base.size() + 2))
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
      return false;
  return true;
}

// A writer killed after naming its temporary file and before renaming it left the file behind.
// Only regular files of the caller are removed; a concurrent writer of ours whose name goes
// names its file again.
void RemoveStaleTemps(const std::string& folder, const std::string& base) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr)
    return;
  const int dirFd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTempNameOf(entry->d_name, base))
      continue;
    struct stat st {};
    if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_uid == ::geteuid())
      (void)::unlinkat(dirFd, entry->d_name, 0);
  }
  ::closedir(dir);
}

enum class Resolved { Ok, Refused, Failed };

// The path with every symbolic link resolved, as the kernel walks it, applying its rule for
// shared folders ourselves (not every system turns on fs.protected_symlinks): in a sticky folder
// that everyone may write, a link is followed only when its owner is the caller or the folder's
// owner. Missing components are kept as written.
Resolved ResolveLinks(const std::string& path, std::string& out) {
  std::string full = path;
  if (full.empty() || full.front() != '/') {
    char* cwd = ::getcwd(nullptr, 0);
    if (cwd == nullptr)
      return Resolved::Failed;
    full = std::string(cwd) + "/" + full;
    std::free(cwd);
  }
  std::vector<std::string> pending; // components still to walk, the next one last
  const auto push = [&pending](const std::string& text) {
    const auto parts = SplitNonEmpty(text, '/');
    pending.insert(pending.end(), parts.rbegin(), parts.rend());
  };
  push(full);
  std::string current; // "" stands for "/"
  int links = 0;
  while (!pending.empty()) {
    const std::string part = pending.back();
    pending.pop_back();
    if (part == ".")
      continue;
    if (part == "..") {
      current = current.substr(0, current.empty() ? 0 : current.rfind('/'));
      continue;
    }
    const std::string next = current + "/" + part;
    struct stat lst {};
    if (::lstat(next.c_str(), &lst) != 0 || !S_ISLNK(lst.st_mode)) {
      current = next;
      continue;
    }
    if (++links > 40)
      return Resolved::Failed;
    struct stat folder {};
    if (::stat(current.empty() ? "/" : current.c_str(), &folder) != 0)
      return Resolved::Failed;
    if ((folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0 && lst.st_uid != ::geteuid() &&
        lst.st_uid != folder.st_uid)
      return Resolved::Refused;
    std::string target(static_cast<std::size_t>(lst.st_size > 0 ? lst.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(next.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<std::size_t>(n) >= target.size())
      return Resolved::Failed;
    target.resize(static_cast<std::size_t>(n));
    if (!target.empty() && target.front() == '/')
      current.clear();
    push(target);
  }
  out = current.empty() ? "/" : current;
  return Resolved::Ok;
}

// Gives the written temporary file the old file's permissions and owner, or the ordinary
// permissions of a new file.
bool TakeOver(int fd, const struct stat* old) {
  const mode_t mode = old != nullptr ? (old->st_mode & 07777) : (0666 & ~CurrentUmask());
  if (::fchmod(fd, mode) != 0)
    return false;
  if (old != nullptr && (old->st_uid != ::geteuid() || old->st_gid != ::getegid()))
    (void)::fchown(fd, old->st_uid, old->st_gid); // best effort: only root may give files away
  return true;
}

void SyncFolder(const std::string& folder) {
  const TFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() >= 0)
    (void)::fsync(fd.Get());
}

enum class TempResult { Done, Failed, NoTempFile, NotSupported };

// The new content in an unnamed file that gets a name only when complete, so a process killed
// while writing leaves nothing behind; the name lives until the rename, a few microseconds.
TempResult ReplaceThroughUnnamedFile(const std::string& target, const std::string& folder,
                                     const std::string& base, std::string_view content,
                                     const struct stat* old) {
  TFd fd(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (fd.Get() < 0) {
    if (errno == EACCES || errno == EPERM || errno == EROFS)
      return TempResult::NoTempFile;
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)
      return TempResult::NotSupported;
    return TempResult::Failed;
  }
  if (!TakeOver(fd.Get(), old) || !WriteAll(fd.Get(), content) || ::fsync(fd.Get()) != 0)
    return TempResult::Failed;
  const std::string procPath = "/proc/self/fd/" + std::to_string(fd.Get());
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::string name = TempName(folder, base);
    if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0 &&
        ::linkat(fd.Get(), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) != 0) {
      if (errno == EEXIST)
        continue;
      return TempResult::NotSupported; // no /proc and no right to link by descriptor
    }
    if (::rename(name.c_str(), target.c_str()) == 0)
      return TempResult::Done;
    const int error = errno;
    (void)::unlink(name.c_str());
    if (error == EPERM || error == EACCES) // another user's file in a sticky folder
      return TempResult::NoTempFile;
    if (error != ENOENT) // ENOENT: a concurrent writer took the name for a stale one
      return TempResult::Failed;
  }
  return TempResult::Failed;
}

// Where unnamed files are not supported: a named temporary file, renamed over the target.
TempResult ReplaceThroughNamedFile(const std::string& target, const std::string& folder,
                                   const std::string& base, std::string_view content,
                                   const struct stat* old) {
  std::string name = folder + "/." + base + ".XXXXXX";
  TFd fd(::mkostemp(name.data(), O_CLOEXEC));
  if (fd.Get() < 0)
    return (errno == EACCES || errno == EPERM || errno == EROFS) ? TempResult::NoTempFile
                                                                 : TempResult::Failed;
  bool ok = TakeOver(fd.Get(), old) && WriteAll(fd.Get(), content) && ::fsync(fd.Get()) == 0;
  ok = fd.Close() && ok;
  ok = ok && ::rename(name.c_str(), target.c_str()) == 0;
  if (!ok)
    (void)::unlink(name.c_str());
  return ok ? TempResult::Done : TempResult::Failed;
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
  // One byte more than the size, so that the end shows without growing the buffer.
  content.resize(static_cast<std::size_t>(st.st_size) + 1);
  std::size_t got = 0;
  for (;;) {
    if (got == content.size())
      content.resize(content.size() * 2); // the file has grown since fstat
    const ssize_t n = ::read(fd.Get(), content.data() + got, content.size() - got);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      content.clear();
      return ReadStatus::Failed;
    }
    if (n == 0)
      break;
    got += static_cast<std::size_t>(n);
  }
  content.resize(got);
  return ReadStatus::Ok;
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

bool ReplaceFile(const std::string& path, std::string_view content, std::string_view filler) {
  if (path.empty())
    return false;
  std::string target;
  if (ResolveLinks(path, target) != Resolved::Ok)
    return false;
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT)
    return false;
  // A read-only file stays read-only, as on Windows.
  if (exists && (!S_ISREG(st.st_mode) || !IsWritable(target, st)))
    return false;
  const std::string folder = FolderOf(target);
  const std::string base = BaseOf(target);
  const struct stat* old = exists ? &st : nullptr;
  TempResult result = ReplaceThroughUnnamedFile(target, folder, base, content, old);
  if (result == TempResult::NotSupported)
    result = ReplaceThroughNamedFile(target, folder, base, content, old);
  if (result == TempResult::NoTempFile)
    return exists && WriteInPlace(target, content, filler);
  if (result != TempResult::Done)
    return false;
  SyncFolder(folder);
  RemoveStaleTemps(folder, base);
  return true;
}

bool WriteInPlace(const std::string& path, std::string_view content, std::string_view filler) {
  const TFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.Get() < 0)
    return false;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
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
  if (::pread(fd.Get(), before.data(), before.size(), 0) != static_cast<ssize_t>(before.size()))
    return false;
  ssize_t n;
  do {
    n = ::pwrite(fd.Get(), data.data(), data.size(), 0);
  } while (n < 0 && errno == EINTR);
  if (n != static_cast<ssize_t>(data.size())) {
    if (n > 0) { // a full disk stopped it half way: put the old bytes back
      (void)WriteAll(fd.Get(), before);
      (void)::ftruncate(fd.Get(), static_cast<off_t>(oldSize));
    }
    return false;
  }
  return ::fsync(fd.Get()) == 0;
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
