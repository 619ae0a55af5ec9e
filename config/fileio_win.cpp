// Windows back-end of the file operations: wide (UTF-16) calls with UTF-8 paths inside, a
// replace through a complete temporary file (ReplaceFileW keeps the old file's attributes and
// security) in the writer's turn on a named mutex, the executable from GetModuleFileNameW,
// %APPDATA% as the configuration folder.
#include "fileio.h"
#include "widetext_win.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// <windows.h> names ReplaceFileW so; ours is the interface's own.
#undef ReplaceFile

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <iterator>
#include <random>

namespace rv58::fileio {

namespace {

class THandle {
public:
  explicit THandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  ~THandle() { Close(); }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE Get() const { return h_; }
  bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    const HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return h == INVALID_HANDLE_VALUE || ::CloseHandle(h);
  }

private:
  HANDLE h_;
};

// "COM1", "NUL", "CON" ... name devices in every folder; they are never read or replaced as files
// (opening a serial port raises its lines).
bool IsDeviceName(const std::wstring& path) {
  const DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0)
    return false;
  std::wstring full(n, L'\0');
  const DWORD m = ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  full.resize(m);
  return full.rfind(L"\\\\.\\", 0) == 0;
}

bool IsSeparator(wchar_t c) {
  return c == L'/' || c == L'\\';
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"/\\");
  if (slash == std::wstring::npos)
    return L".";
  return slash == 0 || (slash == 2 && path[1] == L':') ? path.substr(0, slash + 1) : path.substr(0, slash);
}

std::wstring BaseOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"/\\");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Our temporary files of NAME are ".NAME.rv58-XXXXXX.tmp", as on the other platforms: a name no
// other program gives, so the cleanup never takes a user's backup or another program's file.
constexpr std::wstring_view kTempInfix = L".rv58-";
constexpr std::wstring_view kTempSuffix = L".tmp";
constexpr std::size_t kTempRandomLength = 6;
constexpr std::wstring_view kTempLetters = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::wstring TempName(const std::wstring& folder, const std::wstring& base) {
  thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, kTempLetters.size() - 1);
  std::wstring name = folder + L"\\." + base + std::wstring(kTempInfix);
  for (std::size_t i = 0; i < kTempRandomLength; ++i)
    name.push_back(kTempLetters[pick(random)]);
  return name + std::wstring(kTempSuffix);
}

// A writer killed between writing its temporary file and putting it in place left it behind.
// Only files of our own name go; a living writer holds its file open without sharing it, so
// the system refuses to delete that one.
void RemoveStaleTemps(const std::wstring& folder, const std::wstring& base) {
  const std::wstring head = L"." + base + std::wstring(kTempInfix);
  WIN32_FIND_DATAW found{};
  const HANDLE find = ::FindFirstFileW((folder + L"\\" + head + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE)
    return;
  do {
    const std::wstring_view name = found.cFileName;
    if (name.size() != head.size() + kTempRandomLength + kTempSuffix.size() ||
        (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !name.ends_with(kTempSuffix) ||
        name.substr(head.size(), kTempRandomLength).find_first_not_of(kTempLetters) !=
            std::wstring_view::npos)
      continue;
    (void)::DeleteFileW((folder + L"\\" + std::wstring(name)).c_str());
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
}

bool WriteAll(HANDLE h, std::string_view data) {
  std::size_t done = 0;
  while (done < data.size()) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
    if (!::WriteFile(h, data.data() + done, chunk, &n, nullptr) || n == 0)
      return false;
    done += n;
  }
  return true;
}

enum class TempResult { Done, Failed, NoTempFile, Raced };

TempResult ReplaceThroughTempFile(const std::wstring& target, bool exists, std::string_view content) {
  const std::wstring folder = FolderOf(target);
  const std::wstring base = BaseOf(target);
  // In the writer's turn: no other writer of this file has a temporary file that could be
  // unheld for a moment (between its close and its replace).
  RemoveStaleTemps(folder, base);
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::wstring temp = TempName(folder, base);
    THandle h(
        ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS)
        continue;
      return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT ? TempResult::NoTempFile
                                                                          : TempResult::Failed;
    }
    bool ok = WriteAll(h.Get(), content) && ::FlushFileBuffers(h.Get());
    ok = h.Close() && ok;
    DWORD error = ERROR_SUCCESS;
    if (ok && exists) {
      // ReplaceFileW gives the new file the old one's attributes and security; a file system
      // without it still takes the rename over the old name.
      ok = ::ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                          nullptr) ||
           ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    } else if (ok) {
      // A missing file is created only if no other writer created it meanwhile.
      ok = ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
      error = ok ? ERROR_SUCCESS : ::GetLastError();
    }
    if (!ok) {
      (void)::DeleteFileW(temp.c_str());
      return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? TempResult::Raced
                                                                         : TempResult::Failed;
    }
    return TempResult::Done;
  }
  return TempResult::Failed;
}

bool ReadAll(HANDLE h, std::string& content) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(h, &size))
    return false;
  // One byte more than the size, so that the end shows without growing the buffer.
  content.resize(static_cast<std::size_t>(size.QuadPart) + 1);
  std::size_t got = 0;
  for (;;) {
    if (got == content.size())
      content.resize(content.size() * 2); // the file has grown since
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - got, 1u << 30));
    if (!::ReadFile(h, content.data() + got, chunk, &n, nullptr)) {
      content.clear();
      return false;
    }
    if (n == 0)
      break;
    got += n;
  }
  content.resize(got);
  return true;
}

bool CanOpenForWriting(const std::wstring& path) {
  THandle h(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return h.Valid();
}

} // namespace

ReadStatus ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  const std::wstring w = WideFromUtf8(path);
  if (w.empty())
    return ReadStatus::Missing;
  const DWORD attributes = ::GetFileAttributesW(w.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (IsDeviceName(w))
      return ReadStatus::NotAFile;
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadStatus::Missing
                                                                          : ReadStatus::Failed;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || IsDeviceName(w))
    return ReadStatus::NotAFile;
  THandle h(::CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.Valid())
    return ReadStatus::Failed;
  if (::GetFileType(h.Get()) != FILE_TYPE_DISK)
    return ReadStatus::NotAFile;
  return ReadAll(h.Get(), content) ? ReadStatus::Ok : ReadStatus::Failed;
}

Info Inspect(const std::string& path) {
  Info info;
  const std::wstring w = WideFromUtf8(path);
  const DWORD attributes = w.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(w.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return info;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    info.kind = Kind::Folder;
    info.writable = IsWritableFolder(path);
  } else if (IsDeviceName(w)) {
    info.kind = Kind::Other;
  } else {
    info.kind = Kind::File;
    info.writable = !(attributes & FILE_ATTRIBUTE_READONLY) && CanOpenForWriting(w);
  }
  return info;
}

bool IsWritableFolder(const std::string& folder) {
  const std::wstring w = WideFromUtf8(folder);
  if (w.empty())
    return false;
  const DWORD attributes = ::GetFileAttributesW(w.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  // Access rights on Windows are lists, not bits: create a file and see.
  const THandle probe(
      ::CreateFileW(TempName(w, L"rv58-probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  return probe.Valid();
}

bool CreateFolders(const std::string& folder) {
  const std::wstring w = WideFromUtf8(folder);
  if (w.empty())
    return false;
  for (std::size_t i = 1; i <= w.size(); ++i) {
    if (i < w.size() && !IsSeparator(w[i]))
      continue;
    const std::wstring prefix = w.substr(0, i);
    if (prefix.size() == 2 && prefix[1] == L':') // a drive
      continue;
    if (!::CreateDirectoryW(prefix.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS &&
        ::GetLastError() != ERROR_ACCESS_DENIED) // an existing parent the user may not write
      return false;
  }
  return Inspect(folder).kind == Kind::Folder;
}

// A folder in the user's profile is the user's own already.
bool CreateUserFolders(const std::string& folder) {
  return CreateFolders(folder);
}

namespace {

// Writes the file in place: one page, written by one call from the file's start, as on the other
// platforms.
bool WriteInPlace(const std::wstring& w, std::string_view content, std::string_view filler) {
  THandle h(::CreateFileW(w.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.Valid() || ::GetFileType(h.Get()) != FILE_TYPE_DISK)
    return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(h.Get(), &size))
    return false;
  SYSTEM_INFO system{};
  ::GetSystemInfo(&system);
  const std::size_t page = system.dwPageSize;
  const auto oldSize = static_cast<std::size_t>(size.QuadPart);
  const std::optional<std::string> filled = InPlaceContent(content, oldSize, page, filler);
  if (!filled)
    return false;
  const std::string& data = *filled;
  std::string before(oldSize, '\0');
  DWORD n = 0;
  if (!::ReadFile(h.Get(), before.data(), static_cast<DWORD>(before.size()), &n, nullptr) ||
      n != before.size())
    return false;
  OVERLAPPED at{}; // offset 0
  if (!::WriteFile(h.Get(), data.data(), static_cast<DWORD>(data.size()), &n, &at) || n != data.size()) {
    if (n > 0) { // a full disk stopped it half way: put the old bytes back
      OVERLAPPED start{};
      (void)::WriteFile(h.Get(), before.data(), static_cast<DWORD>(before.size()), &n, &start);
    }
    return false;
  }
  return ::FlushFileBuffers(h.Get());
}

// The path the system keeps for an open file or folder, without the "\\?\" prefix; empty when
// it cannot say.
std::wstring FinalPath(HANDLE h) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()), 0);
    if (n == 0)
      return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(n + 1);
  }
  if (path.starts_with(L"\\\\?\\UNC\\"))
    return L"\\\\" + path.substr(8);
  return path.starts_with(L"\\\\?\\") ? path.substr(4) : path;
}

// The file a path names, as the system resolves it (links followed): a write replaces that file,
// not the link that led to it, so it lands on the file that was read.
std::wstring RealPath(const std::wstring& path) {
  const THandle file(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (file.Valid()) {
    const std::wstring real = FinalPath(file.Get());
    return real.empty() ? path : real;
  }
  const std::wstring folderPath = FolderOf(path);
  const THandle folder(::CreateFileW(folderPath.c_str(), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  const std::wstring real = folder.Valid() ? FinalPath(folder.Get()) : std::wstring();
  if (real.empty())
    return path;
  return (IsSeparator(real.back()) ? real : real + L"\\") + BaseOf(path);
}

// Writers of one file take turns on a mutex named after the file's path: the file itself is
// replaced by every write, so it has no lasting handle to lock. A writer that died releases it.
class TTurn {
public:
  explicit TTurn(const std::wstring& path) {
    std::uint64_t hash = 1469598103934665603ull; // FNV-1a of the upper-case path
    for (wchar_t c : path) {
      hash ^= static_cast<std::uint64_t>(::towupper(c));
      hash *= 1099511628211ull;
    }
    wchar_t name[64];
    ::swprintf(name, 64, L"Local\\rv58-file-%016llx", static_cast<unsigned long long>(hash));
    mutex_ = ::CreateMutexW(nullptr, FALSE, name);
    const DWORD waited = mutex_ != nullptr ? ::WaitForSingleObject(mutex_, 10000) : WAIT_FAILED;
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  }
  ~TTurn() {
    if (held_)
      ::ReleaseMutex(mutex_);
    if (mutex_ != nullptr)
      ::CloseHandle(mutex_);
  }
  TTurn(const TTurn&) = delete;
  TTurn& operator=(const TTurn&) = delete;
  bool Held() const { return held_; }

private:
  HANDLE mutex_ = nullptr;
  bool held_ = false;
};

bool SameFile(HANDLE a, const std::wstring& path) {
  const THandle b(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION x{};
  BY_HANDLE_FILE_INFORMATION y{};
  return b.Valid() && ::GetFileInformationByHandle(a, &x) && ::GetFileInformationByHandle(b.Get(), &y) &&
         x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

enum class EditResult { Done, Failed, Again };

EditResult EditOnce(const std::wstring& path, const Editor& edit) {
  const std::wstring target = RealPath(path);
  const TTurn turn(target);
  if (!turn.Held())
    return EditResult::Failed;
  THandle h(::CreateFileW(target.c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  const DWORD openError = h.Valid() ? ERROR_SUCCESS : ::GetLastError();
  const bool exists = h.Valid();
  if (!exists && openError != ERROR_FILE_NOT_FOUND)
    return EditResult::Failed; // a missing folder, a folder, no permission
  std::string old;
  BY_HANDLE_FILE_INFORMATION info{};
  if (exists && (::GetFileType(h.Get()) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h.Get(), &info) ||
                 (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !ReadAll(h.Get(), old)))
    return EditResult::Failed;
  const std::optional<NewContent> edited = edit(exists ? &old : nullptr);
  // A read-only file stays read-only.
  const bool writable =
      !exists || (!(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) && CanOpenForWriting(target));
  if (!edited || !writable)
    return writable ? EditResult::Done : EditResult::Failed;
  // The write lands on the file that was read: another program may have put a file in its place.
  if (exists && !SameFile(h.Get(), target))
    return EditResult::Again;
  h.Close();
  // A file of several names is written in place, so every name sees the new content.
  const TempResult result = exists && info.nNumberOfLinks > 1
                                ? TempResult::NoTempFile
                                : ReplaceThroughTempFile(target, exists, edited->content);
  if (result == TempResult::NoTempFile)
    return exists && WriteInPlace(target, edited->content, edited->filler) ? EditResult::Done
                                                                           : EditResult::Failed;
  return result == TempResult::Done    ? EditResult::Done
         : result == TempResult::Raced ? EditResult::Again
                                       : EditResult::Failed;
}

} // namespace

bool EditFile(const std::string& path, const Editor& edit) {
  const std::wstring w = WideFromUtf8(path);
  if (w.empty() || IsDeviceName(w))
    return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const EditResult result = EditOnce(w, edit);
    if (result != EditResult::Again)
      return result == EditResult::Done;
  }
  return false;
}

std::optional<Ownership> OwnershipOf(const std::string& path) {
  const Info info = Inspect(path);
  if (info.kind == Kind::Missing)
    return std::nullopt;
  return Ownership{1, 1, info.writable ? 0600u : 0400u};
}

bool CanReadWrite(const std::string& path) {
  return CanOpenForWriting(WideFromUtf8(path));
}

UserIds CurrentUserIds() {
  return UserIds{1, {1}};
}

std::string GroupName(std::uint32_t group) {
  return std::to_string(group);
}

const std::string& ExecutablePath() {
  static const std::string path = [] {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
      if (n == 0)
        return std::string();
      if (n < buffer.size()) {
        buffer.resize(n);
        return Utf8FromWide(buffer);
      }
      buffer.resize(buffer.size() * 2); // a long path: ask again with more room
    }
  }();
  return path;
}

namespace {

std::string Environment(const wchar_t* name) {
  const wchar_t* value = ::_wgetenv(name);
  return value != nullptr ? Utf8FromWide(value) : std::string();
}

bool IsAbsolute(std::string_view p) {
  return (!p.empty() && (p.front() == '/' || p.front() == '\\')) ||
         (p.size() >= 3 && p[1] == ':' && (p[2] == '\\' || p[2] == '/'));
}

} // namespace

// The roaming application data folder (%APPDATA%), where Windows programs keep their settings;
// an absolute XDG_CONFIG_HOME is still honoured, as the other platforms do.
std::string ConfigHome(std::string_view xdgConfigHome, std::string_view home) {
  if (IsAbsolute(xdgConfigHome))
    return std::string(xdgConfigHome);
  const std::string appData = Environment(L"APPDATA");
  if (IsAbsolute(appData))
    return appData;
  if (!home.empty())
    return std::string(home) + "/.config";
  std::wstring temp(MAX_PATH + 1, L'\0');
  temp.resize(::GetTempPathW(static_cast<DWORD>(temp.size()), temp.data()));
  return Utf8FromWide(temp) + ".config";
}

std::string ConfigHome() {
  return ConfigHome(Environment(L"XDG_CONFIG_HOME"), Environment(L"HOME"));
}

} // namespace rv58::fileio
