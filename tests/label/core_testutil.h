#pragma once

#include "labelcore.h"

#include <string>
#include <vector>

namespace rv58::test {

// Every character 10 pixels wide; a font is 2 × its point size high with a quarter of
// that below the baseline (8 pt: 16 high, descent 4).
class TFixedMeasurer : public ITextMeasurer {
public:
  TExtent TextExtent(const TLabelFont& font, std::u16string_view text) override {
    ++Calls;
    return TExtent{int(text.size()) * 10, 2 * font.PointSize()};
  }
  int Descent(const TLabelFont& font) override { return font.PointSize() / 2; }
  int Calls = 0;
};

inline std::string Narrow(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    out += c < 128 ? char(c) : '?';
  }
  return out;
}

// A compact picture of the token list: "W:word", "S:_" (blanks shown as _), "DSP", "BR",
// "TAB:N", "TABF:N"; link tokens get "@N".
inline std::vector<std::string> Describe(const TMDLabelCore& core) {
  std::vector<std::string> out;
  for (const auto& t : core.Tokens()) {
    std::string s;
    switch (t->Class()) {
    case TTokenClass::Word:
      s = "W:" + Narrow(t->Text);
      break;
    case TTokenClass::Space: {
      std::string b = Narrow(t->Text);
      for (char& c : b) {
        c = c == ' ' ? '_' : (c == '\t' ? 'T' : c);
      }
      s = "S:" + b;
      break;
    }
    case TTokenClass::DSP:
      s = "DSP";
      break;
    case TTokenClass::Break:
      s = "BR";
      break;
    case TTokenClass::Tab: {
      const auto& tab = static_cast<const TTabInfo&>(*t);
      s = (tab.SetIndent ? "TABF:" : "TAB:") + std::to_string(tab.TabPos);
      break;
    }
    }
    if (t->LinkIndex > 0) {
      s += "@" + std::to_string(t->LinkIndex);
    }
    out.push_back(s);
  }
  return out;
}

} // namespace rv58::test
