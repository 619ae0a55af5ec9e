#include "toolrunner.h"

#include "widetext_win.h"

#include <windows.h>

namespace rv58 {

namespace {

bool IsAbsolute(const std::wstring& dir) {
  return (dir.size() >= 3 && dir[1] == L':' && (dir[2] == L'\\' || dir[2] == L'/')) ||
         dir.starts_with(L"\\\\");
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// One argument as the C runtime's command-line parser reads it back: quoted when it holds blanks
// or quotes, backslashes doubled only where they come before a quote.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
    return arg;
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

class THandle {
public:
  explicit THandle(HANDLE h = nullptr) : h_(h) {}
  ~THandle() {
    if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE)
      ::CloseHandle(h_);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE get() const { return h_; }

private:
  HANDLE h_;
};

} // namespace

std::string FindTool(const std::string& name, const std::string& searchPath) {
  std::wstring path = WideFromUtf8(searchPath);
  if (path.empty()) {
    std::wstring system(MAX_PATH, L'\0');
    const UINT n = ::GetSystemDirectoryW(system.data(), static_cast<UINT>(system.size()));
    if (n == 0 || n >= system.size())
      return {};
    system.resize(n);
    path = system;
  }
  const std::wstring wanted = WideFromUtf8(name);
  std::size_t start = 0;
  while (start <= path.size()) {
    const auto semicolon = path.find(L';', start);
    std::wstring dir =
        path.substr(start, semicolon == std::wstring::npos ? std::wstring::npos : semicolon - start);
    if (IsAbsolute(dir)) {
      if (dir.back() != L'\\' && dir.back() != L'/')
        dir += L'\\';
      for (const wchar_t* suffix : {L"", L".exe"}) {
        const std::wstring candidate = dir + wanted + suffix;
        if (IsFile(candidate))
          return Utf8FromWide(candidate);
      }
    }
    if (semicolon == std::wstring::npos)
      break;
    start = semicolon + 1;
  }
  return {};
}

bool RunTool(const std::string& program, const std::vector<std::string>& args,
             std::chrono::milliseconds limit) {
  const std::wstring application = WideFromUtf8(program);
  std::wstring commandLine = Quoted(application);
  for (const auto& a : args)
    commandLine += L" " + Quoted(WideFromUtf8(a));

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const THandle nul(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, OPEN_EXISTING, 0, nullptr));
  if (nul.get() == INVALID_HANDLE_VALUE)
    return false;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.get();
  PROCESS_INFORMATION process{};
  // No console window flashes up for a console tool started from the window.
  if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process))
    return false;
  const THandle thread(process.hThread);
  const THandle child(process.hProcess);

  const auto ms = limit.count() < 0 ? 0 : limit.count();
  const DWORD wait = ms >= static_cast<long long>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(ms);
  if (::WaitForSingleObject(child.get(), wait) != WAIT_OBJECT_0) {
    ::TerminateProcess(child.get(), 1);
    ::WaitForSingleObject(child.get(), INFINITE);
    return false;
  }
  DWORD code = 1;
  return ::GetExitCodeProcess(child.get(), &code) && code == 0;
}

} // namespace rv58
