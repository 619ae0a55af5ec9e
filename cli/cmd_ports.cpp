#include "commands.h"

#include "unitportdetect.h"

#include <iconv.h>

#include <cerrno>
#include <iostream>

namespace rv58::cli {

namespace {

// Descriptions are Windows-1250 like every text of the core; the terminal speaks UTF-8.
std::string Cp1250ToUtf8(const std::string& text) {
  bool ascii = true;
  for (char c : text)
    ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii)
    return text;
  iconv_t cd = ::iconv_open("UTF-8", "WINDOWS-1250");
  if (cd == reinterpret_cast<iconv_t>(-1))
    return text;
  std::string in = text;
  std::string out(text.size() * 3, '\0');
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0 && ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
    if (errno == E2BIG || outLeft == 0)
      break;
    // The few byte values the code page leaves undefined.
    *outPtr++ = '?';
    --outLeft;
    ++inPtr;
    --inLeft;
  }
  ::iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

} // namespace

int CmdPorts(const CliContext&, const Args& args) {
  bool descriptive = false;
  for (const auto& arg : args) {
    if (arg == "-v" || arg == "--verbose")
      descriptive = true;
    else
      return UsageError();
  }
  // The "Ports" section was loaded at start; ListPorts reads it again, as the window does.
  std::vector<std::string> lines;
  ListPorts(lines, descriptive);
  std::string out;
  for (const auto& line : lines)
    out += Cp1250ToUtf8(line) + "\n";
  std::cout << out << std::flush;
  return std::cout ? kExitOk : kExitFailed;
}

} // namespace rv58::cli
