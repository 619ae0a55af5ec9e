#include "markup.h"

#include <algorithm>
#include <array>

namespace rv58 {

namespace {

// A unit above 255 counts as an ordinary letter.
char16_t Lower(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}
bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}
bool IsHex(char16_t c) {
  return IsDigit(c) || (Lower(c) >= u'a' && Lower(c) <= u'f');
}
int HexValue(char16_t c) {
  return IsDigit(c) ? c - u'0' : Lower(c) - u'a' + 10;
}
// Reads the run of `base` (10 or 16) digits at `p` and moves `p` past it; the value when the
// run holds 1 to `maxDigits` digits (at most 8, so it always fits).
std::optional<std::uint32_t> ReadDigits(std::u16string_view s, std::size_t& p, int base,
                                        std::size_t maxDigits) {
  const std::size_t first = p;
  while (p < s.size() && (base == 16 ? IsHex(s[p]) : IsDigit(s[p]))) {
    ++p;
  }
  if (p == first || p - first > maxDigits) {
    return std::nullopt;
  }
  std::uint32_t x = 0;
  for (std::size_t i = first; i < p; ++i) {
    x = x * std::uint32_t(base) + std::uint32_t(HexValue(s[i]));
  }
  return x;
}
bool IsLetter(char16_t c) {
  return c > 255 || (Lower(c) >= u'a' && Lower(c) <= u'z');
}
bool IsWordChar(char16_t c) {
  return !IsLabelSpace(c) && c != u'<';
}

struct TNamedColor {
  std::u16string_view Name;
  TColor Value;
};
constexpr std::array<TNamedColor, 26> kColorNames{{
    {u"clblack", 0x000000},   {u"clmaroon", 0x000080},  {u"clgreen", 0x008000},   {u"clolive", 0x008080},
    {u"clnavy", 0x800000},    {u"clpurple", 0x800080},  {u"clteal", 0x808000},    {u"clgray", 0x808080},
    {u"clsilver", 0xC0C0C0},  {u"clred", 0x0000FF},     {u"cllime", 0x00FF00},    {u"clyellow", 0x00FFFF},
    {u"clblue", 0xFF0000},    {u"clfuchsia", 0xFF00FF}, {u"clmagenta", 0xFF00FF}, {u"claqua", 0xFFFF00},
    {u"clltgray", 0xC0C0C0},  {u"cldkgray", 0x808080},  {u"clwhite", 0xFFFFFF},   {u"clmoneygreen", 0xC0DCC0},
    {u"clskyblue", 0xF0CAA6}, {u"clcream", 0xF0FBFF},   {u"clmedgray", 0xA4A0A0}, {u"clbrown", 0x17335C},
    {u"clorange", 0x008CFF},  {u"clpink", 0x9314FF},
}};

struct TEntity {
  std::u16string_view Name;
  char16_t Value;
};
constexpr std::array<TEntity, 11> kEntities{{
    {u"amp", u'&'},
    {u"bull", u'\u2022'},
    {u"cent", u'\u00A2'},
    {u"copy", u'\u00A9'},
    {u"euro", u'\u20AC'},
    {u"gt", u'>'},
    {u"lt", u'<'},
    {u"nbsp", u' '},
    {u"ndash", u'\u2013'},
    {u"reg", u'\u00AE'},
    {u"trade", u'\u2122'},
}};

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) {
      return false;
    }
  }
  return true;
}

} // namespace

bool IsLabelSpace(char16_t c) {
  return c == 9 || c == 10 || c == 13 || c == 32;
}

std::optional<TColor> ColorFromName(std::u16string_view name) {
  for (const auto& entry : kColorNames) {
    if (EqualsNoCase(name, entry.Name)) {
      return entry.Value;
    }
  }
  return std::nullopt;
}

std::u16string DecodeEntities(std::u16string_view word) {
  if (word.find(u'&') == std::u16string_view::npos) {
    return std::u16string(word);
  }
  std::u16string out;
  out.reserve(word.size());
  std::size_t i = 0;
  while (i < word.size()) {
    if (word[i] != u'&') {
      out.push_back(word[i++]);
      continue;
    }
    const std::size_t stop = word.find_first_of(u";&", i + 1);
    if (stop == std::u16string_view::npos) {
      out.append(word.substr(i));
      break;
    }
    if (word[stop] == u'&') {
      out.append(word.substr(i, stop - i));
      i = stop;
      continue;
    }
    const std::u16string_view name = word.substr(i + 1, stop - i - 1);
    if (!name.empty()) {
      bool known = false;
      for (const auto& e : kEntities) {
        if (EqualsNoCase(name, e.Name)) {
          out.push_back(e.Value);
          known = true;
          break;
        }
      }
      if (!known) {
        out.append(name);
      }
    }
    i = stop + 1;
  }
  return out;
}

void TMarkupTokenizer::ReadWord(std::size_t start, TToken& token) {
  // The first character belongs to the word whatever it is, and so does a malformed tag's
  // wrong '<'.
  std::size_t p = std::max(start + 1, wordPast_);
  wordPast_ = 0;
  while (p < s_.size() && IsWordChar(s_[p])) {
    ++p;
  }
  token.Kind = tkWORD;
  token.Text = DecodeEntities(s_.substr(start, p - start));
  pos_ = p;
}

bool TMarkupTokenizer::Next(TToken& token) {
  token = TToken{};
  while (pos_ < s_.size()) {
    const char16_t c = s_[pos_];
    if (IsLabelSpace(c)) {
      std::size_t p = pos_;
      std::u16string text;
      while (p < s_.size() && IsLabelSpace(s_[p])) {
        if (s_[p] == 10) {
          text.push_back(u' ');
        } else if (s_[p] != 13) {
          text.push_back(s_[p]);
        }
        ++p;
      }
      pos_ = p;
      token.Kind = tkSPACE;
      token.Text = std::move(text);
      return true;
    }
    if (c != u'<') {
      ReadWord(pos_, token);
      return true;
    }
    const std::size_t lt = pos_;
    switch (ReadTag(token)) {
    case TagResult::Token:
      return true;
    case TagResult::AsWord:
      ReadWord(lt, token);
      return true;
    case TagResult::Dropped:
      token = TToken{};
      continue;
    case TagResult::End:
      token = TToken{};
      pos_ = s_.size();
      return false;
    }
  }
  return false;
}

// A tag went wrong at `wrong`: that character is consumed; a word character right after it
// makes the whole tag show as typed, anything else drops it.
TMarkupTokenizer::TagResult TMarkupTokenizer::Wrong(std::size_t wrong) {
  if (wrong >= s_.size()) {
    return TagResult::End;
  }
  const std::size_t next = wrong + 1;
  if (next < s_.size() && IsWordChar(s_[next])) {
    // Any '<' of the skipped run would go wrong at the same character.
    noTagEnd_ = runEnd_;
    pos_ = tagStart_;
    if (s_[wrong] == u'<') {
      wordPast_ = next; // shown as typed, "<b<i>x" is one word: the '<' opens no tag
    }
    return TagResult::AsWord;
  }
  pos_ = next;
  return TagResult::Dropped;
}

// Tags that take effect only when a character follows their '>'.
TMarkupTokenizer::TagResult TMarkupTokenizer::CompleteAfter(std::size_t gt, TToken& token) {
  if (gt + 1 >= s_.size()) {
    return TagResult::End;
  }
  pos_ = gt + 1;
  (void)token;
  return TagResult::Token;
}

// At `p`: an optional single blank and then '>'; on success `p` is at the '>'.
bool TMarkupTokenizer::ReadValuedEnd(std::size_t& p) const {
  if (p < s_.size() && IsLabelSpace(s_[p])) {
    ++p;
  }
  return p < s_.size() && s_[p] == u'>';
}

char16_t TMarkupTokenizer::At(std::size_t i) const {
  return i < s_.size() ? Lower(s_[i]) : char16_t(0);
}

// A tag complete at its '>', expected at `gt`.
TMarkupTokenizer::TagResult TMarkupTokenizer::Simple(std::size_t gt, int kind, TToken& token) {
  if (At(gt) != u'>') {
    return Wrong(gt);
  }
  token.Kind = kind;
  pos_ = gt + 1;
  return TagResult::Token;
}

// The tag's end after a value read up to `q`: a value out of range drops the whole tag.
TMarkupTokenizer::TagResult TMarkupTokenizer::Valued(std::size_t q, int kind,
                                                     std::optional<std::uint32_t> value, TToken& token) {
  std::size_t gt = q;
  if (!ReadValuedEnd(gt)) {
    return Wrong(gt);
  }
  if (!value) {
    pos_ = gt + 1;
    return TagResult::Dropped;
  }
  token.Kind = kind;
  token.Value = std::int32_t(*value);
  return CompleteAfter(gt, token);
}

// A colour value at `v`, then the tag's end.
TMarkupTokenizer::TagResult TMarkupTokenizer::Colour(std::size_t v, int kind, TToken& token) {
  std::size_t q = v;
  std::optional<TColor> value;
  if (At(q) == u'$') {
    ++q;
    value = ReadDigits(s_, q, 16, 6);
  } else if (q < s_.size() && IsDigit(s_[q])) {
    value = ReadDigits(s_, q, 10, 8);
    if (value) {
      *value &= 0xFFFFFF;
    }
  } else if (At(q) == u'c') {
    const std::size_t first = q;
    ++q;
    while (q < s_.size() && IsLetter(s_[q])) {
      ++q;
    }
    value = ColorFromName(s_.substr(first, q - first));
  } else {
    return Wrong(q);
  }
  return Valued(q, kind, value, token);
}

// A decimal number of up to `maxDigits` at `v`, or with `allowHex` "$" and up to 4 hex digits,
// then the tag's end.
TMarkupTokenizer::TagResult TMarkupTokenizer::Number(std::size_t v, int kind, std::size_t maxDigits,
                                                     bool allowHex, TToken& token) {
  std::size_t q = v;
  std::optional<std::uint32_t> value;
  if (allowHex && At(q) == u'$') {
    ++q;
    value = ReadDigits(s_, q, 16, 4);
  } else if (q < s_.size() && IsDigit(s_[q])) {
    value = ReadDigits(s_, q, 10, maxDigits);
  } else {
    return Wrong(q);
  }
  return Valued(q, kind, value, token);
}

// "<a>" or "<a:T>", with `p` at the "a".
TMarkupTokenizer::TagResult TMarkupTokenizer::LinkStart(std::size_t p, TToken& token) {
  if (At(p + 1) == u'>') {
    token.Kind = tkLINKSTART;
    pos_ = p + 2;
    return TagResult::Token;
  }
  if (At(p + 1) != u':') {
    return Wrong(p + 1);
  }
  const std::size_t gt = s_.find(u'>', p + 2);
  if (gt == std::u16string_view::npos) {
    return TagResult::End;
  }
  std::size_t b = p + 2;
  std::size_t e = gt;
  while (b < e && IsLabelSpace(s_[b])) {
    ++b;
  }
  while (e > b && IsLabelSpace(s_[e - 1])) {
    --e;
  }
  token.Kind = tkLINKSTART;
  token.Text = std::u16string(s_.substr(b, e - b));
  pos_ = gt + 1;
  return TagResult::Token;
}

// A closing tag, with `p` at the "/".
TMarkupTokenizer::TagResult TMarkupTokenizer::ClosingTag(std::size_t p, TToken& token) {
  std::size_t q = p + 1;
  while (q < s_.size() && IsLabelSpace(s_[q])) {
    ++q;
  }
  switch (At(q)) {
  case u'b':
    if (At(q + 1) == u'c') {
      return Simple(q + 2, tkBGPOP, token);
    }
    return Simple(q + 1, tkBOLDOFF, token);
  case u'i':
    return Simple(q + 1, tkITALICOFF, token);
  case u'u':
    return Simple(q + 1, tkUNDERLINEOFF, token);
  case u's':
    return Simple(q + 1, tkSTRIKEOFF, token);
  case u'c':
    return Simple(q + 1, tkCOLORPOP, token);
  case u'a':
    return Simple(q + 1, tkLINKEND, token);
  case u'f':
    if (At(q + 1) == u'c') {
      return Simple(q + 2, tkCOLORPOP, token);
    }
    if (At(q + 1) == u's') {
      return Simple(q + 2, tkSIZEPOP, token);
    }
    return Wrong(q + 1);
  default:
    return NotATag(p);
  }
}

// The '<' begins no tag form: it is an ordinary character. Every '<' of the run skipped up to
// `p` would end the same way.
TMarkupTokenizer::TagResult TMarkupTokenizer::NotATag(std::size_t p) {
  noTagEnd_ = p;
  pos_ = tagStart_;
  return TagResult::AsWord;
}

TMarkupTokenizer::TagResult TMarkupTokenizer::ReadTag(TToken& token) {
  tagStart_ = pos_;
  if (tagStart_ < noTagEnd_) {
    // Inside a run already found to hold no tag.
    return TagResult::AsWord;
  }
  std::size_t p = tagStart_ + 1;
  while (p < s_.size() && (IsLabelSpace(s_[p]) || s_[p] == u'<')) {
    ++p;
  }
  runEnd_ = p;

  switch (At(p)) {
  case u'b':
    if (At(p + 1) == u'r') {
      return Simple(p + 2, tkBREAK, token);
    }
    if (At(p + 1) == u'c') {
      return At(p + 2) == u':' ? Colour(p + 3, tkBGPUSH, token) : Wrong(p + 2);
    }
    return Simple(p + 1, tkBOLDON, token);
  case u'i':
    return Simple(p + 1, tkITALICON, token);
  case u'u':
    return Simple(p + 1, tkUNDERLINEON, token);
  case u's':
    return Simple(p + 1, tkSTRIKEON, token);
  case u'c':
    return At(p + 1) == u':' ? Colour(p + 2, tkCOLORPUSH, token) : Wrong(p + 1);
  case u'f':
    if (At(p + 1) == u'c') {
      return At(p + 2) == u':' ? Colour(p + 3, tkCOLORPUSH, token) : Wrong(p + 2);
    }
    if (At(p + 1) == u's') {
      return At(p + 2) == u':' ? Number(p + 3, tkSIZEPUSH, 3, false, token) : Wrong(p + 2);
    }
    return Wrong(p + 1);
  case u'a':
    return LinkStart(p, token);
  case u't':
    if (At(p + 1) == u'>') {
      token.Kind = tkTAB;
      return CompleteAfter(p + 1, token);
    }
    if (At(p + 1) == u':') {
      return Number(p + 2, tkTAB, 4, true, token);
    }
    // Only a lower-case "f" makes the indenting tab.
    if (p + 1 < s_.size() && s_[p + 1] == u'f') {
      return At(p + 2) == u':' ? Number(p + 3, tkTABINDENT, 4, true, token) : Wrong(p + 2);
    }
    return Wrong(p + 1);
  case u'd':
    for (std::size_t i = 1; i <= 3; ++i) {
      if (At(p + i) != u"sp>"[i - 1]) {
        return Wrong(p + i);
      }
    }
    token.Kind = tkDSP;
    return CompleteAfter(p + 3, token);
  case u'/':
    return ClosingTag(p, token);
  default:
    return NotATag(p);
  }
}

} // namespace rv58
