#include "labelcore.h"

#include <algorithm>

namespace rv58 {

namespace {

// Clears a flag on every way out of a scope, also when a measuring call throws.
class TFlagGuard {
public:
  explicit TFlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~TFlagGuard() { flag_ = false; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
  bool& flag_;
};

bool IsBlankText(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return IsLabelSpace(c); });
}

bool IsSpaceLike(const TWordInfo& t) {
  return t.Class() == TTokenClass::Space || t.Class() == TTokenClass::DSP || t.Class() == TTokenClass::Tab;
}

// Drops the last character (a surrogate pair counts as one).
void DropLastChar(std::u16string& s) {
  if (s.empty()) {
    return;
  }
  s.pop_back();
  if (!s.empty() && s.back() >= 0xD800 && s.back() <= 0xDBFF) {
    s.pop_back();
  }
}

} // namespace

TMDLabelCore::TMDLabelCore(ITextMeasurer& measurer) : measurer_(measurer) {}

void TMDLabelCore::ReadTokens() {
  // The lines point at the tokens: they go first, so nothing is left pointing at freed ones.
  lines_.clear();
  tokens_.clear();
  if (Caption.empty()) {
    return;
  }
  std::vector<TColor> colors{Font.Color};
  std::vector<TColor> backgrounds{clNoBackground};
  std::vector<int> sizes{Font.PointSize()};
  TFontStyles style = Font.Style;
  int linkCounter = 0;
  bool inLink = false;

  auto fill = [&](TWordInfo& w) {
    w.LinkIndex = inLink ? linkCounter : 0;
    w.Color = colors.back();
    w.BgColor = backgrounds.back();
    w.Size = sizes.back();
    w.Style = style;
  };
  auto pop = [](auto& stack) {
    if (stack.size() > 1) {
      stack.pop_back();
    }
  };

  TMarkupTokenizer tokenizer(Caption);
  TToken t;
  while (tokenizer.Next(t)) {
    switch (t.Kind) {
    case tkWORD: {
      auto w = std::make_unique<TWordInfo>();
      fill(*w);
      w->Text = std::move(t.Text);
      tokens_.push_back(std::move(w));
      break;
    }
    case tkSPACE: {
      auto w = std::make_unique<TSpaceInfo>();
      fill(*w);
      w->Text = std::move(t.Text);
      tokens_.push_back(std::move(w));
      break;
    }
    case tkDSP: {
      auto w = std::make_unique<TDSPInfo>();
      fill(*w);
      tokens_.push_back(std::move(w));
      break;
    }
    case tkBREAK:
      tokens_.push_back(std::make_unique<TBreakInfo>());
      break;
    case tkTAB:
    case tkTABINDENT: {
      auto tab = std::make_unique<TTabInfo>();
      tab->TabPos = t.Value;
      tab->SetIndent = t.Kind == tkTABINDENT;
      tokens_.push_back(std::move(tab));
      break;
    }
    case tkBOLDON:
      style |= fsBold;
      break;
    case tkBOLDOFF:
      style &= ~TFontStyles(fsBold);
      break;
    case tkITALICON:
      style |= fsItalic;
      break;
    case tkITALICOFF:
      style &= ~TFontStyles(fsItalic);
      break;
    case tkUNDERLINEON:
      style |= fsUnderline;
      break;
    case tkUNDERLINEOFF:
      style &= ~TFontStyles(fsUnderline);
      break;
    case tkSTRIKEON:
      style |= fsStrikeOut;
      break;
    case tkSTRIKEOFF:
      style &= ~TFontStyles(fsStrikeOut);
      break;
    case tkCOLORPUSH:
      colors.push_back(TColor(t.Value));
      break;
    case tkCOLORPOP:
      pop(colors);
      break;
    case tkBGPUSH:
      backgrounds.push_back(TColor(t.Value));
      break;
    case tkBGPOP:
      pop(backgrounds);
      break;
    case tkSIZEPUSH:
      sizes.push_back(t.Value);
      break;
    case tkSIZEPOP:
      pop(sizes);
      break;
    case tkLINKSTART: {
      ++linkCounter;
      TLink link;
      link.LinkIndex = linkCounter;
      link.Target = std::move(t.Text);
      link.FontNormal = LinkFontNormal;
      link.FontHover = LinkFontHover;
      links_.push_back(std::move(link));
      inLink = true;
      break;
    }
    case tkLINKEND:
      inLink = false;
      break;
    default:
      break;
    }
  }
}

TMDLabelCore::TLayoutResult TMDLabelCore::Rebuild() {
  if (rebuilding_) {
    return {};
  }
  {
    TFlagGuard guard(rebuilding_);
    linkRects_.clear();
    links_.clear();
    hoverCount_.clear();
    pressedLinkRect_ = -1;
    ReadTokens();
    hoverCount_.assign(links_.size(), 0);
    for (const auto& token : tokens_) {
      if (token->LinkIndex > 0) {
        linkRects_.push_back(TLinkRect{TRect{}, false, token->LinkIndex});
        links_[std::size_t(token->LinkIndex - 1)].Text += token->Text;
      }
    }
    if (OnGetLinkStyle) {
      for (auto& link : links_) {
        OnGetLinkStyle(link.LinkIndex, link.Text, link.FontNormal, link.FontHover);
      }
    }
  }
  return LayoutLines();
}

bool TMDLabelCore::LinkHovered(int linkIndex) const {
  return linkIndex > 0 && std::size_t(linkIndex) <= hoverCount_.size() &&
         hoverCount_[std::size_t(linkIndex - 1)] > 0;
}

void TMDLabelCore::SetHover(TLinkRect& r, bool hover) {
  if (r.Hover == hover) {
    return;
  }
  r.Hover = hover;
  if (r.LinkIndex > 0 && std::size_t(r.LinkIndex) <= hoverCount_.size()) {
    hoverCount_[std::size_t(r.LinkIndex - 1)] += hover ? 1 : -1;
  }
}

TLabelFont TMDLabelCore::FontFor(const TWordInfo& token) const {
  if (token.LinkIndex > 0) {
    const bool hover = LinkHovered(token.LinkIndex);
    if (std::size_t(token.LinkIndex) <= links_.size()) {
      const TLink& link = links_[std::size_t(token.LinkIndex - 1)];
      return hover ? link.FontHover : link.FontNormal;
    }
    return hover ? LinkFontHover : LinkFontNormal;
  }
  TLabelFont f = Font;
  f.Color = token.Color;
  f.Style = token.Style;
  if (token.Size != Font.PointSize()) {
    // <fs:N> sizes are points; a size of 0 would mean no font at all.
    f.Size = std::max(1, token.Size);
    f.Height = 0;
  }
  return f;
}

std::u16string TMDLabelCore::LayoutText(const TWordInfo& token, const TLineInfo& line) const {
  if (token.Class() != TTokenClass::Space && token.Class() != TTokenClass::DSP) {
    return token.Text;
  }
  if (CompressSpaces) {
    return line.Items.empty() ? std::u16string() : std::u16string(u" ");
  }
  std::u16string out;
  for (char16_t c : token.Text) {
    if (c == u' ') {
      out.push_back(u' ');
    } else if (c == u'\t') {
      out.append(std::size_t(std::max(0, TabWidth)), u' ');
    }
  }
  return out;
}

// The longest prefix that, followed by "...", fits from the token's left edge to MaxWidth.
// Prefix widths grow with their length, so a doubling search and then a binary search find
// it with few measurements of short texts, even in a word of a megabyte.
void TMDLabelCore::Shorten(TWordInfo& token, const TLabelFont& font) {
  const std::u16string full = token.Text;
  auto fits = [&](std::size_t len) {
    std::u16string s = full.substr(0, len);
    if (len > 0 && len < full.size() && s.back() >= 0xD800 && s.back() <= 0xDBFF) {
      s.pop_back();
    }
    s += u"...";
    return measurer_.TextExtent(font, s).Width + token.Rect.Left <= MaxWidth;
  };
  // Invariant: a prefix of length lo fits (or lo is 0); one of length hi does not (or hi is
  // the whole word, which is checked last).
  std::size_t lo = 0;
  std::size_t hi = 1;
  while (hi < full.size() && fits(hi)) {
    lo = hi;
    hi = std::min(full.size(), hi * 2);
  }
  if (hi >= full.size() && fits(full.size())) {
    lo = hi = full.size();
  }
  while (hi - lo > 1) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (fits(mid)) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  hi = lo;
  std::u16string text = full.substr(0, hi);
  if (hi < full.size() && !text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
    DropLastChar(text);
  }
  token.Text = text + u"...";
  const auto ext = measurer_.TextExtent(font, token.Text);
  token.Width = ext.Width;
  token.Height = ext.Height;
  token.Rect.Right = token.Rect.Left + ext.Width;
  token.Rect.Bottom = token.Rect.Top + ext.Height;
}

TMDLabelCore::TLayoutResult TMDLabelCore::LayoutLines() {
  TLayoutResult result;
  if (layingOut_) {
    RelayoutPending = true;
    return result;
  }
  TFlagGuard guard(layingOut_);

  lines_.clear();
  lines_.push_back(std::make_unique<TLineInfo>());
  TLineInfo* line = lines_.back().get();
  int x = 0;
  int indent = 0;
  const int spaceHeight = measurer_.TextExtent(Font, u" ").Height;

  for (const auto& owned : tokens_) {
    TWordInfo& token = *owned;
    if (token.Class() == TTokenClass::Break) {
      line->Width = x;
      lines_.push_back(std::make_unique<TLineInfo>());
      line = lines_.back().get();
      x = 0;
      indent = 0;
      continue;
    }
    if (token.Class() == TTokenClass::Tab) {
      auto& tab = static_cast<TTabInfo&>(token);
      int stop = tab.TabPos;
      if (stop == 0) {
        stop = (x / 50) * 50 + 50;
      } else if (tab.SetIndent) {
        indent = stop;
      }
      if (x < stop && (Width >= stop || AutoSizeWidth)) {
        tab.Rect = TRect{x, 0, stop, 0};
        tab.Width = stop - x;
        tab.Height = 0;
        tab.Descent = 0;
        x = stop;
        line->Items.push_back(&tab);
      }
      continue;
    }
    const std::u16string text = LayoutText(token, *line);
    if (text.empty()) {
      continue;
    }
    const TLabelFont font = FontFor(token);
    const auto ext =
        measurer_.TextExtent(font, token.Class() == TTokenClass::DSP ? std::u16string_view(u"0") : text);
    token.Rect = TRect{x, 0, x + ext.Width, ext.Height};
    token.Width = ext.Width;
    token.Height = ext.Height;
    token.Descent = measurer_.Descent(font);

    const int right = token.Rect.Right;
    const bool overflow = right > Width && (!AutoSizeWidth || (MaxWidth != 0 && MaxWidth < right));
    if (!overflow) {
      line->Items.push_back(&token);
      x = right;
      continue;
    }
    while (!line->Items.empty() && IsSpaceLike(*line->Items.back())) {
      line->Items.pop_back();
    }
    const bool goesOn = !IsBlankText(text);
    if (!line->Items.empty()) {
      line->Width = line->Items.back()->Rect.Right;
      if (goesOn) {
        lines_.push_back(std::make_unique<TLineInfo>());
        line = lines_.back().get();
      }
    } else {
      line->Width = 0;
    }
    if (!goesOn) {
      continue;
    }
    token.Rect = TRect{indent, 0, indent + token.Width, token.Height};
    line->Items.push_back(&token);
    x = token.Rect.Right;
    if (AutoSizeWidth && MaxWidth != 0 && x > MaxWidth) {
      Shorten(token, font);
      x = token.Rect.Right;
    }
  }
  line->Width = x;

  int y = 0;
  for (auto& l : lines_) {
    int h = 0;
    int d = 0;
    for (const TWordInfo* item : l->Items) {
      h = std::max(h, item->Height);
      d = std::max(d, item->Descent);
    }
    l->Height = h == 0 ? spaceHeight : h;
    l->Descent = d;
    for (TWordInfo* item : l->Items) {
      item->Rect.Bottom = y + l->Height + item->Descent - l->Descent;
      item->Rect.Top = item->Rect.Bottom - item->Height;
    }
    y += l->Height;
  }

  if (AutoSizeWidth) {
    int widest = 0;
    for (const auto& l : lines_) {
      widest = std::max(widest, l->Width);
    }
    if (MaxWidth != 0) {
      widest = std::min(widest, MaxWidth);
    }
    if (widest != Width) {
      Width = widest;
      result.WidthChanged = true;
    }
  }
  // The height follows the text; TextHeight always tells the text's height.
  if (Height != y) {
    Height = y;
    result.HeightChanged = true;
  }
  TextHeight = y;

  for (auto& l : lines_) {
    int offset = 0;
    if (TextAlignment == taRightJustify) {
      offset = Width - l->Width;
    } else if (TextAlignment == taCenter) {
      offset = (Width - l->Width) / 2;
    }
    if (offset != 0) {
      for (TWordInfo* item : l->Items) {
        item->Rect.Left += offset;
        item->Rect.Right += offset;
      }
    }
  }
  // A size change made here reaches the widget's bounds while this layout runs; one more
  // layout at the new size follows before the next paint.
  if (result.WidthChanged || result.HeightChanged) {
    RelayoutPending = true;
  }
  return result;
}

void TMDLabelCore::PaintItems(const std::function<void(const TWordInfo&, const TLabelFont&)>& draw) {
  if (Busy()) {
    return; // a host callback inside a rebuild may paint: tokens and lines are half made
  }
  std::size_t k = 0;
  for (const auto& l : lines_) {
    for (const TWordInfo* item : l->Items) {
      if (item->Text.empty()) {
        continue;
      }
      const TLabelFont font = FontFor(*item);
      if (item->LinkIndex > 0 && k < linkRects_.size()) {
        TLinkRect& r = linkRects_[k];
        r.Rect = item->Rect;
        if (r.LinkIndex != item->LinkIndex) {
          const bool hover = r.Hover;
          SetHover(r, false);
          r.LinkIndex = item->LinkIndex;
          SetHover(r, hover);
        }
        ++k;
      }
      if (draw) {
        draw(*item, font);
      }
    }
  }
  // Link tokens not drawn now (dropped spaces) must not keep a rectangle of an earlier paint.
  for (; k < linkRects_.size(); ++k) {
    linkRects_[k].Rect = TRect{};
  }
}

namespace {
bool Placed(const TLinkRect& r) {
  return r.Rect.Right > r.Rect.Left && r.Rect.Bottom > r.Rect.Top;
}
} // namespace

void TMDLabelCore::MouseDown(bool leftButton, int x, int y) {
  pressedLinkRect_ = -1;
  if (!leftButton) {
    return;
  }
  for (std::size_t i = 0; i < linkRects_.size(); ++i) {
    if (Placed(linkRects_[i]) && linkRects_[i].Rect.Contains(x, y)) {
      pressedLinkRect_ = int(i);
    }
  }
}

std::optional<TLinkClick> TMDLabelCore::MouseUp(bool leftButton, int x, int y) {
  std::optional<TLinkClick> click;
  if (leftButton && pressedLinkRect_ >= 0 && std::size_t(pressedLinkRect_) < linkRects_.size()) {
    const TLinkRect& r = linkRects_[std::size_t(pressedLinkRect_)];
    if (Placed(r) && r.Rect.Contains(x, y) && r.LinkIndex > 0 && std::size_t(r.LinkIndex) <= links_.size()) {
      const TLink& link = links_[std::size_t(r.LinkIndex - 1)];
      click = TLinkClick{link.LinkIndex, link.Target.empty() ? link.Text : link.Target};
    }
  }
  pressedLinkRect_ = -1;
  return click;
}

TMDLabelCore::TMoveResult TMDLabelCore::MouseMove(int x, int y) {
  TMoveResult result;
  if (x < 0 || x > Width || y < 0 || y > Height) {
    result.HoverChanged = MouseLeave();
    return result;
  }
  for (auto& r : linkRects_) {
    const bool over =
        Placed(r) && x >= r.Rect.Left && x <= r.Rect.Right && y > r.Rect.Top && y < r.Rect.Bottom;
    if (over != r.Hover) {
      SetHover(r, over);
      result.HoverChanged = true;
    }
    result.OverLink = result.OverLink || over;
  }
  return result;
}

bool TMDLabelCore::MouseLeave() {
  bool changed = false;
  for (auto& r : linkRects_) {
    if (r.Hover) {
      SetHover(r, false);
      changed = true;
    }
  }
  return changed;
}

} // namespace rv58
