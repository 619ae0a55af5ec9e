#include "scalecorpus.h"

#include "testutil_framesettings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace rv58::corpus {

namespace {

using test::FrameSettingsOf;

constexpr double kOver = 1e9; // the overload frame's place in the cycle

// The weights each scale goes through: a load, the same again, empty, a negative one (a tare taken
// off), a heavy one, small ones, and an overload.
const double kCycle[] = {12.34, 12.34, 0.0, -3.5, 125.7, 1.05, 47.11, kOver};

TLineFormat Line(std::uint32_t baud, int dataBits, char parity, int stopBits) {
  TLineFormat f;
  f.baud = baud;
  f.dataBits = dataBits;
  f.parity = parity == 'E' ? ptEVEN : parity == 'O' ? ptODD : ptNONE;
  f.stopBits = stopBits;
  return f;
}

// |v| with `decimals`, padded on the left with `pad` to `width`.
std::string Num(double v, int width, int decimals, char pad = '0', char point = '.') {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, std::fabs(v));
  std::string s = text;
  std::replace(s.begin(), s.end(), '.', point);
  if (static_cast<int>(s.size()) < width)
    s.insert(0, static_cast<std::size_t>(width) - s.size(), pad);
  return s;
}

std::string Plus(double v) {
  return v < 0 ? "-" : "+";
}

std::string Blank(double v) {
  return v < 0 ? "-" : " ";
}

// A sign that floats in the blanks before the digits.
std::string Float(double v, int width, int decimals, char point = '.') {
  std::string s = (v < 0 ? "-" : "") + Num(v, 0, decimals, '0', point);
  return std::string(static_cast<std::size_t>(std::max(0, width - static_cast<int>(s.size()))), ' ') + s;
}

std::string Right(int width, const std::string& text) {
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

enum class Sign { none, minus, plus };

// What the display must show for weight v.
std::string Shown(double v, Sign sign, int decimals, char point = '.') {
  if (v == kOver)
    return "ERROR";
  std::string s = Num(v, 0, decimals, '0', point);
  if (v < 0 && sign != Sign::none)
    s.insert(0, "-");
  else if (sign == Sign::plus)
    s.insert(0, "+");
  return s;
}

char Xor(const std::string& bytes) {
  char x = 0;
  for (const char c : bytes)
    x = static_cast<char>(x ^ c);
  return x;
}

std::string Hex2(const std::string& bytes) {
  unsigned sum = 0;
  for (const char c : bytes)
    sum += static_cast<unsigned char>(c);
  char text[4];
  std::snprintf(text, sizeof text, "%02X", sum & 0xFFu);
  return text;
}

struct TRecipe {
  std::string name;
  TLineFormat line;
  double period;
  bool negatives; // the scale sends negative weights (else their magnitude)
  std::function<std::string(double)> frame;
  std::function<std::string(double)> shown;
  FrameSettings best;
  std::string note = {};
  std::vector<TFrame> extra = {};
  int lag = 0;
};

TFormat Make(const TRecipe& recipe) {
  TFormat f;
  f.name = recipe.name;
  f.line = recipe.line;
  f.period = recipe.period;
  f.best = recipe.best;
  f.note = recipe.note;
  f.lag = recipe.lag;
  for (double v : kCycle) {
    if (!recipe.negatives && v != kOver)
      v = std::fabs(v);
    f.frames.push_back({recipe.frame(v), recipe.shown(v)});
  }
  f.frames.insert(f.frames.end(), recipe.extra.begin(), recipe.extra.end());
  return f;
}

std::vector<TFormat> Build() {
  const auto over = [](double v) { return v == kOver; };
  std::vector<TRecipe> recipes = {
      {"status, gross, sign, CR LF", Line(9600, 8, 'N', 1), 0.5, true,
       [&](double v) {
         return over(v) ? "OL,GS,+   OL  kg\r\n"
                        : std::string(v == 125.7 ? "US" : "ST") + ",GS," + Plus(v) + Num(v, 7, 2) + "kg\r\n";
       },
       [](double v) { return Shown(v, Sign::plus, 2); }, FrameSettingsOf(10, 10, 6, 3, true, 2, 2, 'O')},
      {"the same back to back", Line(9600, 8, 'N', 1), 0, true,
       [&](double v) {
         return over(v) ? "OL,GS,+   OL  kg\r\n"
                        : std::string(v == 125.7 ? "US" : "ST") + ",GS," + Plus(v) + Num(v, 7, 2) + "kg\r\n";
       },
       [](double v) { return Shown(v, Sign::plus, 2); }, FrameSettingsOf(10, 10, 6, 3, true, 2, 2, 'O')},
      {"blank padded, floating sign, unit, CR", Line(2400, 7, 'E', 1), 0.5, true,
       [&](double v) { return (over(v) ? Right(8, "OL") : Float(v, 8, 2)) + " kg\r"; },
       [](double v) { return Shown(v, Sign::minus, 2); }, FrameSettingsOf(13, 13, 2, 3, false, 2, 0, 'O')},
      {"STX, motion mark, blank sign column, ETX", Line(9600, 7, 'E', 1), 0.5, true,
       [&](double v) {
         return over(v) ? std::string("\x02O") + " " + Right(8, "OL") + "kg\x03"
                        : std::string("\x02") + (v == 125.7 ? "M" : "S") + " " + Blank(v) + Num(v, 7, 2) +
                              "kg\x03";
       },
       [](double v) { return Shown(v, Sign::minus, 2); }, FrameSettingsOf(3, 3, 3, 2, true, 2, 2, 'O')},
      {"STX ETX and a binary checksum after ETX", Line(9600, 8, 'N', 1), 0.5, true,
       [&](double v) {
         const std::string data = (over(v) ? Right(8, "OL") : Plus(v) + Num(v, 7, 2)) + "\x03";
         return "\x02" + data + Xor(data);
       },
       [](double v) { return Shown(v, Sign::plus, 2); }, FrameSettingsOf(3, 3, 2, 0, true, 2, 2, 'O'),
       "ellenőrző"},
      {"CR at the start, ETX at the end", Line(4800, 7, 'E', 1), 0.5, true,
       [&](double v) { return "\rG " + (over(v) ? Right(8, "OL") : Float(v, 8, 2)) + " kg\x03"; },
       [](double v) { return Shown(v, Sign::minus, 2); }, FrameSettingsOf(3, 3, 5, 3, false, 2, 0, 'O')},
      {"LF at the start, CR at the end, with pauses", Line(9600, 8, 'N', 1), 0.5, true,
       [&](double v) { return "\n" + (over(v) ? Right(8, "OL") : Blank(v) + Num(v, 7, 2)) + "kg\r"; },
       [](double v) { return Shown(v, Sign::minus, 2); }, FrameSettingsOf(13, 13, 1, 2, true, 2, 2, 'O')},
      {"no control character, unit letters, back to back", Line(9600, 8, 'N', 1), 0, false,
       [&](double v) { return "wn" + (over(v) ? Right(7, "OL") : Num(v, 7, 2)) + "kg"; },
       [](double v) { return Shown(v, Sign::none, 2); }, FrameSettingsOf('k', 'k', 3, 0, true, 2, 0, 'O')},
      {"= before digits sent in reverse order",
       Line(9600, 8, 'N', 1),
       0,
       false,
       [&](double v) {
         std::string digits = over(v) ? Right(7, "OL") : Num(v, 7, 2);
         std::reverse(digits.begin(), digits.end());
         return "=" + digits;
       },
       [](double v) {
         if (v == kOver)
           return std::string("ERROR");
         std::string digits = Num(v, 7, 2);
         std::reverse(digits.begin(), digits.end());
         return DropLeadingZeros(digits);
       },
       FrameSettingsOf('=', '=', 0, 0, true, 2, 2, 'L'),
       "",
       {},
       1},
      {"tare after the weight", Line(9600, 8, 'N', 1), 0.5, true,
       [&](double v) {
         return "G" + (over(v) ? Right(8, "OL") : Plus(v) + Num(v, 7, 2)) + " T+0000.50kg\r\n";
       },
       [](double v) { return Shown(v, Sign::plus, 2); }, FrameSettingsOf(10, 10, 1, 13, true, 2, 2, 'O')},
      {"piece count after the weight", Line(19200, 8, 'N', 1), 0.5, false,
       [&](double v) {
         return "N " +
                (over(v) ? Right(7, "OL") + "kg  PCS -----"
                         : Float(v, 7, 2) + "kg  PCS " + Num(v * 10, 5, 0)) +
                "\r\n";
       },
       [](double v) { return Shown(v, Sign::none, 2); }, FrameSettingsOf(10, 10, 3, 14, false, 2, 0, 'O')},
      {"a digit that says how many decimals follow", Line(4800, 7, 'E', 1), 0.5, true,
       [&](double v) { return (over(v) ? Right(7, "OL") : Plus(v) + Num(v * 100, 6, 0)) + " 2\r\n"; },
       [](double v) { return Shown(v, Sign::plus, 2); }, FrameSettingsOf(10, 10, 0, 3, true, 2, 2, 'O')},
      {"two hex digits of checksum before CR LF", Line(9600, 8, 'N', 1), 0.5, true,
       [&](double v) {
         const std::string data =
             over(v) ? "OL,NT," + Right(8, "OL") + "kg" : "ST,NT," + Plus(v) + Num(v, 7, 2) + "kg";
         return data + Hex2(data) + "\r\n";
       },
       [](double v) { return Shown(v, Sign::plus, 2); }, FrameSettingsOf(10, 10, 6, 5, true, 2, 2, 'O')},
      {"binary checksum after CR, with pauses", Line(9600, 8, 'N', 1), 0.5, true,
       [&](double v) {
         const std::string data = "\x02" + (over(v) ? Right(8, "OL") : Plus(v) + Num(v, 7, 2)) + "\r";
         return data + Xor(data);
       },
       [](double v) { return Shown(v, Sign::plus, 2); }, FrameSettingsOf(13, 13, 2, 0, true, 2, 2, 'O'),
       "ellenőrző"},
      {"bit-coded status bytes, the sign in a status bit", Line(9600, 7, 'E', 1), 0.5, true,
       [&](double v) {
         const char b =
             static_cast<char>(0x30 | (v < 0 ? 0x02 : 0) | (v == 125.7 ? 0x08 : 0) | (over(v) ? 0x04 : 0));
         return std::string("\x02\"") + b + " " + (over(v) ? std::string("OOOOOOO") : Num(v, 7, 2)) +
                " 0000.00\r";
       },
       [](double v) { return Shown(v, Sign::none, 2); }, FrameSettingsOf(13, 13, 5, 8, true, 2, 0, 'O'),
       "állapotbájt"},
      {"decimal comma, blank padded", Line(9600, 8, 'N', 1), 0.5, true,
       [&](double v) { return (over(v) ? Right(8, "OL") : Float(v, 8, 2, ',')) + " kg\r\n"; },
       [](double v) { return Shown(v, Sign::minus, 2, ','); },
       FrameSettingsOf(10, 10, 2, 4, false, 2, 2, 'O')},
      {"overload and underload with different marks",
       Line(2400, 8, 'N', 1),
       0.5,
       true,
       [&](double v) { return "GS," + (over(v) ? Right(7, "OL") : Plus(v) + Num(v, 6, 2)) + ",kg\r\n"; },
       [](double v) { return Shown(v, Sign::plus, 2); },
       FrameSettingsOf(10, 10, 3, 4, true, 2, 2, 'O'),
       "többféle",
       {{"GS, -----,kg\r\n", "-----"}}},
      {"HHHHHH for an overload", Line(1200, 7, 'E', 1), 0.5, true,
       [&](double v) { return "W" + (over(v) ? std::string("HHHHHHH") : Blank(v) + Num(v, 6, 2)) + "\r\n"; },
       [](double v) { return Shown(v, Sign::minus, 2); }, FrameSettingsOf(10, 10, 1, 1, true, 2, 2, 'H')},
      {"letters in the weight field, ten frames a second", Line(38400, 8, 'N', 1), 0.1, true,
       [&](double v) { return "S " + (over(v) ? std::string("   Err  ") : Float(v, 8, 3)) + " kg\r\n"; },
       [](double v) { return Shown(v, Sign::minus, 3); }, FrameSettingsOf(10, 10, 3, 4, false, 3, 2, 'E')},
      {"an identifier before the weight", Line(9600, 8, 'N', 1), 0.5, true,
       [&](double v) {
         return "ID0042 N " + (over(v) ? Right(8, "OL") : Plus(v) + Num(v, 7, 2)) + " kg\r\n";
       },
       [](double v) { return Shown(v, Sign::plus, 2); }, FrameSettingsOf(10, 10, 9, 4, true, 2, 2, 'O')},
      {"gross or net mark", Line(4800, 8, 'N', 1), 0.5, true,
       [&](double v) {
         return std::string(v == 1.05 || v == 47.11 ? "N" : "G") +
                (over(v) ? Right(9, "OL") : Float(v, 9, 2)) + "kg\r\n";
       },
       [](double v) { return Shown(v, Sign::minus, 2); }, FrameSettingsOf(10, 10, 4, 3, false, 2, 0, 'O')},
      {"blank sign column, 7O1", Line(9600, 7, 'O', 1), 0.5, true,
       [&](double v) { return "GS:" + (over(v) ? Right(8, "OL") : Blank(v) + Num(v, 7, 2)) + "\r\n"; },
       [](double v) { return Shown(v, Sign::minus, 2); }, FrameSettingsOf(10, 10, 3, 1, true, 2, 2, 'O')},
      {"a sign separated from the digits by blanks", Line(9600, 8, 'N', 1), 0.5, true,
       [&](double v) {
         return "GW:" + (over(v) ? " " + Right(8, "OL") : Blank(v) + Float(std::fabs(v), 8, 2)) + " kg\r\n";
       },
       [](double v) { return Shown(v, Sign::none, 2); }, FrameSettingsOf(10, 10, 6, 4, false, 2, 0, 'O'),
       "előjel"},
      {"SOH and EOT, twenty frames a second", Line(57600, 8, 'N', 1), 0.05, true,
       [&](double v) { return "\x01G" + (over(v) ? Right(8, "OL") : Plus(v) + Num(v, 7, 2)) + "\x04"; },
       [](double v) { return Shown(v, Sign::plus, 2); }, FrameSettingsOf(4, 4, 2, 0, true, 2, 2, 'O')},
      {"bare signed weight at 300 baud, 7N2", Line(300, 7, 'N', 2), 0.5, true,
       [&](double v) { return (over(v) ? Right(8, "OL") : Plus(v) + Num(v, 7, 2)) + "\r\n"; },
       [](double v) { return Shown(v, Sign::plus, 2); }, FrameSettingsOf(10, 10, 0, 1, true, 2, 2, 'O')},
  };
  std::vector<TFormat> formats;
  for (const auto& recipe : recipes)
    formats.push_back(Make(recipe));
  return formats;
}

std::string Left(std::string text) {
  text.erase(0, text.find_first_not_of(' ') == std::string::npos ? text.size() : text.find_first_not_of(' '));
  return text;
}

} // namespace

const std::vector<TFormat>& Formats() {
  static const std::vector<TFormat> formats = Build();
  return formats;
}

TBitStream Send(const TFormat& format, const TLineFormat& line, double seconds) {
  TBitStream stream;
  double t = 0.013;
  for (std::size_t i = 0; t < seconds; ++i) {
    const std::string& bytes = format.frames[i % format.frames.size()].bytes;
    const double end = Transmit(stream, line, t, bytes);
    t = std::max(end, t + format.period);
  }
  return stream;
}

int FramesShownRight(const TFormat& format, const FrameSettings& settings) {
  std::string bytes;
  for (int round = 0; round < 3; ++round)
    for (const auto& f : format.frames)
      bytes += f.bytes;
  TFrameSplitter splitter(settings.tm);
  const std::vector<std::string> frames = splitter.Feed(bytes);
  const std::size_t n = format.frames.size();
  const auto lag = static_cast<std::size_t>(format.lag);
  if (frames.size() < 2 * n + lag)
    return 0;
  // The second round: each frame that ends with the terminator of the cycle's frame i.
  int right = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const DisplayFrame shown = EvaluateFrame(settings, frames[n + i + lag]);
    if (shown.kind != FrameKind::fkINVALID && shown.fits && Left(shown.text) == format.frames[i].shown)
      ++right;
  }
  return right;
}

} // namespace rv58::corpus
