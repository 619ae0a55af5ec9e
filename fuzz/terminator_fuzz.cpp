// TComPort's Terminator text "#<code>#<code>...": any text is refused with EComError (and the
// terminator falls back to CR LF) or gives one byte per token, each the token's number by the
// shared conversion, low 8 bits; the text the component gives back parses to the same bytes.
#include "ComPort.h"
#include "fuzzutil.h"
#include "strconv.h"

#include <cstdint>
#include <string>

namespace {

using rv58::fuzz::Check;

// The bytes of a terminator text, or nothing when a token does not convert.
std::optional<std::string> Expected(std::string_view text) {
  std::string bytes;
  if (text.empty())
    return std::string("\r\n");
  text.remove_prefix(1);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('#', start);
    if (end == std::string_view::npos)
      end = text.size();
    const auto value = rv58::TryStrToInt(text.substr(start, end - start));
    if (!value)
      return std::nullopt;
    bytes.push_back(static_cast<char>(*value & 0xFF));
    start = end + 1;
  }
  return bytes.empty() ? std::string("\r\n") : bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static rv58::TComPort port;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto expected = Expected(text);
  bool refused = false;
  try {
    port.SetTerminator(text);
  } catch (const rv58::EComError&) {
    refused = true;
  }
  Check(refused == !expected.has_value(), "refused exactly when a token is no number");
  Check(port.TerminatorBytes() == (refused ? std::string("\r\n") : *expected), "one byte per token");
  const std::string bytes = port.TerminatorBytes();
  const std::string shown = port.Terminator();
  port.SetTerminator(shown);
  Check(port.TerminatorBytes() == bytes, "the text the component gives back parses to the same bytes");
  return 0;
}
