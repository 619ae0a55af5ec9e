#include "console.h"

#include "widetext_win.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h> // the C library's _O_BINARY, which only this header defines
#include <io.h>
#include <shellapi.h>

#include <csignal>
#include <cstdio>

namespace rv58::cli {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) {
  gInterrupted = 1;
}

} // namespace

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

TInterruptScope::TInterruptScope() {
  gInterrupted = 0;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
}

TInterruptScope::~TInterruptScope() {
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
}

bool Interrupted() {
  return gInterrupted != 0;
}

bool WriteOutput(std::string_view bytes) {
  if (gInterrupted)
    return false;
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

} // namespace rv58::cli
