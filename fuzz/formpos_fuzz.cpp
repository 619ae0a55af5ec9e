// The "FormPos" value "width;height;top;left": any text gives the pieces that convert, in order,
// up to the first that does not; what is written is read back whole, through the file too.
#include "fuzzutil.h"
#include "inifile.h"
#include "preferences.h"
#include "strconv.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using rv58::fuzz::Check;

bool Same(const rv58::FormPos& a, const rv58::FormPos& b) {
  return a.width == b.width && a.height == b.height && a.top == b.top && a.left == b.left;
}

rv58::FormPos Model(std::string_view value) {
  std::vector<std::optional<std::int32_t>> numbers;
  std::size_t start = 0;
  while (start <= value.size() && numbers.size() < 4) {
    std::size_t end = value.find(';', start);
    if (end == std::string_view::npos)
      end = value.size();
    if (end > start) {
      const auto n = rv58::TryStrToInt(value.substr(start, end - start));
      if (!n)
        break;
      numbers.push_back(n);
    }
    start = end + 1;
  }
  numbers.resize(4);
  return rv58::FormPos{numbers[0], numbers[1], numbers[2], numbers[3]};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider fdp(data, size);
  const auto w = fdp.ConsumeIntegral<std::int32_t>();
  const auto h = fdp.ConsumeIntegral<std::int32_t>();
  const auto t = fdp.ConsumeIntegral<std::int32_t>();
  const auto l = fdp.ConsumeIntegral<std::int32_t>();
  const std::string value = fdp.ConsumeRemainingBytesAsString();

  const rv58::FormPos pos = rv58::ParseFormPos(value);
  Check(Same(pos, Model(value)), "the pieces that convert, in order");
  Check((pos.height ? pos.width.has_value() : true) && (pos.top ? pos.height.has_value() : true) &&
            (pos.left ? pos.top.has_value() : true),
        "a piece is set only after the ones before it");
  const rv58::FormPos written{w, h, t, l};
  Check(Same(rv58::ParseFormPos(rv58::FormatFormPos(w, h, t, l)), written), "format round trip");

  // Through the preferences file: the stored text as a reader sees it, and a write read back.
  std::string line;
  for (char c : value)
    if (c != '\r' && c != '\n')
      line.push_back(c);
  const std::filesystem::path path = rv58::fuzz::Folder() / "rv58led.ini";
  rv58::fuzz::WriteBytes(path, "[Opt]\r\nx=1\r\n[FormPos]\r\nrvform=" + line + "\r\n");
  rv58::TIniFile prefs(path.string());
  Check(Same(rv58::ReadFormPos(prefs), rv58::ParseFormPos(rv58::fuzz::StoredValue(line))),
        "read from the file");
  Check(rv58::WriteFormPos(prefs, w, h, t, l), "the write succeeds");
  Check(Same(rv58::ReadFormPos(prefs), written), "a written position reads back");
  Check(prefs.ReadString("Opt", "x", "") == "1", "the other sections stay");
  return 0;
}
