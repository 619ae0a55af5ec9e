#include "console.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

namespace rv58::cli {

std::vector<std::string> PrepareConsole(int argc, char** argv) {
  // Text mode would turn every "\n" into "\r\n".
  (void)::_setmode(::_fileno(stdout), _O_BINARY);
  (void)::_setmode(::_fileno(stdin), _O_BINARY);
  // Our texts are UTF-8; a console window shows them right only when told so.
  (void)::SetConsoleOutputCP(CP_UTF8);
  // The narrow arguments are in the ANSI code page, which cannot hold every file name: take the
  // wide command line and carry it on in UTF-8, as every path inside the program is.
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr)
    return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1)
      ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, s.data(), n, nullptr, nullptr);
    args.push_back(std::move(s));
  }
  ::LocalFree(wide);
  return args;
}

} // namespace rv58::cli
