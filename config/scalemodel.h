#pragma once
// What the display makes of the scale's data: a preview for the scale monitor. The display's own
// firmware has the last word; these are the rules the pages describe, in one place:
//
//  1. Frames. The scale's bytes are cut at the terminator `tm`: a frame is the bytes after the
//     previous terminator up to and including this one. With no terminator chosen nothing is cut.
//  2. Validity. A frame is valid when it contains the required character `kr` anywhere (usually
//     the terminator itself). With no required character chosen every frame is valid.
//  3. Error. A valid frame that contains the error character `hk` shows the error text `ht`.
//  4. Text. Otherwise the shown text is the frame without its terminator, less `le` characters
//     from the front and `lh` from the back (nothing is left when they cut it all).
//  5. Zeros. With `nm` on, the zeros that lead the number are dropped (after leading blanks and a
//     sign): 000123 -> 123, -0012 -> -12; a lone 0 and the 0 before a decimal point stay.
//  6. Point. `tp` places the decimal point that many digits from the right of the last run of
//     digits (padding with zeros: 5 with tp 2 is 0.05) when the text has no point of its own.
//  7. Width. `bt` gives the display's width in characters (5, 5, 6); a point shares the cell of
//     the digit before it. Text wider than the display is marked as not fitting.
//  8. Blanking. With `au` on, the display goes blank when no valid frame came for 5 seconds.
// Texts are bytes as on the line (Windows-1250).

#include "displaysettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rv58 {

// The settings the preview depends on, taken from the pages (indices as the pages hold them;
// -1 for nothing chosen).
struct FrameSettings {
  std::int32_t tm = SettingsKey("tm").defaultNumber;
  std::int32_t kr = SettingsKey("kr").defaultNumber;
  std::int32_t le = SettingsKey("le").defaultNumber;
  std::int32_t lh = SettingsKey("lh").defaultNumber;
  bool nm = SettingsKey("nm").defaultNumber != 0;
  std::int32_t tp = SettingsKey("tp").defaultNumber;
  std::int32_t bt = SettingsKey("bt").defaultNumber;
  bool au = SettingsKey("au").defaultNumber != 0;
  std::int32_t hk = -1;
  std::string ht = std::string(SettingsKey("ht").defaultText);

  static FrameSettings From(const DisplaySettings& settings);
  bool operator==(const FrameSettings&) const = default;
};

// Seconds without a valid frame after which `au` blanks the display.
inline constexpr double kBlankAfterSeconds = 5.0;

// Display width in characters of the font `bt` (an unknown font counts as 5).
int DisplayWidth(std::int32_t bt);

enum class FrameKind : std::uint8_t { fkOK, fkINVALID, fkERROR };

// One frame with what the display would show for it.
struct DisplayFrame {
  std::string bytes; // the frame, terminator included
  FrameKind kind = FrameKind::fkINVALID;
  std::string text;           // the shown text ("" for an invalid frame)
  bool fits = true;           // the text fits the display's width
  std::size_t cutFront = 0;   // bytes of the frame that `le` cut
  std::size_t cutBack = 0;    // bytes before the terminator that `lh` cut
  std::size_t terminator = 0; // 1 when the frame ends with `tm`
};

// Rules 2 to 7 for one frame.
DisplayFrame EvaluateFrame(const FrameSettings& settings, std::string_view frame);

// Rules 4 to 6 on an already cut text (exposed for the search's suggestions).
std::string DropLeadingZeros(std::string_view text);
std::string PlaceDecimalPoint(std::string_view text, int decimals);

// Characters the display needs for `text` (a point shares the cell before it).
std::size_t DisplayCells(std::string_view text);

// Rule 1, incrementally: bytes in, complete frames out. Bytes that wait for their terminator are
// kept up to `limit`; older ones are dropped first.
class TFrameSplitter {
public:
  explicit TFrameSplitter(std::int32_t tm = SettingsKey("tm").defaultNumber, std::size_t limit = 64 * 1024)
      : tm_(tm), limit_(limit) {}
  std::vector<std::string> Feed(std::string_view bytes);
  const std::string& Pending() const { return pending_; }
  void Clear() { pending_.clear(); }

private:
  std::int32_t tm_;
  std::size_t limit_;
  std::string pending_;
};

// The display's face over time: the last shown text and rule 8. Times are seconds on any clock.
class TDisplayPreview {
public:
  void Show(const DisplayFrame& frame, double now);
  // The text on the display at `now` ("" when blank).
  std::string Text(const FrameSettings& settings, double now) const;
  bool Blank(const FrameSettings& settings, double now) const;

private:
  std::optional<double> lastValid_;
  std::string text_;
};

// A frame for people: printable bytes as they are, control characters 0 to 32 but the blank by
// their names in angle brackets (<CR>, <LF>, <STX>), others as <127> etc.
std::string FrameForHuman(std::string_view bytes);

// The seven segments (bit 0 a, top, clockwise to bit 5 f, bit 6 g, the middle) that light for a
// character on the display; 0 for a blank or a character it cannot draw.
std::uint8_t SevenSegments(char c);

} // namespace rv58
