#pragma once

// Mark-up of the rich label: character classes, the tokenizer, colour values and names and
// entity decoding. No toolkit here.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "utf8.h"

namespace rv58 {

// 24-bit colour, red in the low byte ($BBGGRR).
using TColor = std::uint32_t;
// A background-colour slot holding this value means "no background".
inline constexpr TColor clNoBackground = 0x1FFFFFFF;
inline constexpr TColor clLinkBlue = 0xFF0000;
inline constexpr TColor clLinkRed = 0x0000FF;

enum TTokenKind : int {
  tkNONE = 0,
  tkWORD,
  tkSPACE,
  tkBOLDON,
  tkBOLDOFF,
  tkITALICON,
  tkITALICOFF,
  tkUNDERLINEON,
  tkUNDERLINEOFF,
  tkSTRIKEON,
  tkSTRIKEOFF,
  tkCOLORPUSH,
  tkCOLORPOP,
  tkBGPUSH,
  tkBGPOP,
  tkSIZEPUSH,
  tkSIZEPOP,
  tkLINKSTART,
  tkLINKEND,
  tkBREAK,
  tkTAB,
  tkTABINDENT,
  tkDSP,
};

struct TToken {
  int Kind = tkNONE;
  std::u16string Text; // word, white-space run, or link target
  std::int32_t Value = 0;
};

// Splits a caption into tokens, one per call. Malformed mark-up never throws: it either
// shows as typed or is dropped. Every call advances, so a caption of any content ends.
class TMarkupTokenizer {
public:
  explicit TMarkupTokenizer(std::u16string_view caption) : s_(caption) {}
  // Fills `token` and returns true, or returns false at the end of the caption.
  bool Next(TToken& token);

private:
  enum class TagResult { Token, Dropped, AsWord, End };
  // The tag at the '<' at pos_; the readers below take positions in the caption.
  TagResult ReadTag(TToken& token);
  TagResult Simple(std::size_t gt, int kind, TToken& token);
  TagResult Valued(std::size_t q, int kind, std::optional<std::uint32_t> value, TToken& token);
  TagResult Colour(std::size_t v, int kind, TToken& token);
  TagResult Number(std::size_t v, int kind, std::size_t maxDigits, bool allowHex, TToken& token);
  TagResult LinkStart(std::size_t p, TToken& token);
  TagResult ClosingTag(std::size_t p, TToken& token);
  TagResult NotATag(std::size_t p);
  TagResult Wrong(std::size_t wrong);
  TagResult CompleteAfter(std::size_t gt, TToken& token);
  bool ReadValuedEnd(std::size_t& p) const;
  void ReadWord(std::size_t start, TToken& token);
  char16_t At(std::size_t i) const; // lower-cased; 0 past the end

  std::u16string_view s_;
  std::size_t pos_ = 0;
  std::size_t tagStart_ = 0; // the '<' of the tag being read
  // After a '<' whose run of skipped '<' and blanks ended at `noTagEnd_` without a tag,
  // every later '<' of that run ends the same way; remembering it keeps "<<<<...x" linear.
  std::size_t noTagEnd_ = 0;
  std::size_t runEnd_ = 0;   // end of the '<' and blanks skipped by the tag being read
  std::size_t wordPast_ = 0; // a word shown as typed runs at least up to here
};

bool IsLabelSpace(char16_t c);

// Entity decoding of one word (&amp; &lt; &gt; &nbsp; ...).
std::u16string DecodeEntities(std::u16string_view word);

// A colour value of a colour tag: "$" and 1-6 hex digits, 1-8 decimal digits, or a name.
std::optional<TColor> ColorFromName(std::u16string_view name);

} // namespace rv58
