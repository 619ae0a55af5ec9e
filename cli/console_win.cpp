#include "console.h"

#include "widetext_win.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h> // the C library's _O_BINARY, which only this header defines
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
  for (int i = 0; i < count; ++i)
    args.push_back(Utf8FromWide(wide[i]));
  ::LocalFree(wide);
  return args;
}

} // namespace rv58::cli
