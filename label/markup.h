#pragma once

// Mark-up of the rich label: character classes, the tokenizer, colour values and names,
// entity decoding and the strict UTF-8 decoder. No toolkit here.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
  TagResult ReadTag(TToken& token);
  void ReadWord(std::size_t start, TToken& token);
  bool ReadValuedEnd(std::size_t& p) const;
  TagResult Wrong(std::size_t lt, std::size_t wrong);
  TagResult CompleteAfter(std::size_t gt, TToken& token);

  std::u16string_view s_;
  std::size_t pos_ = 0;
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

// Strict UTF-8: any malformed sequence (overlong form, surrogate, beyond U+10FFFF, cut short)
// fails the whole text.
std::optional<std::u16string> DecodeUtf8Strict(std::string_view bytes);
// Lone surrogates become U+FFFD.
std::string EncodeUtf8(std::u16string_view text);

} // namespace rv58
