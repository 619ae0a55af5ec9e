#pragma once

// The toolkit-free heart of the rich label: token objects, links, reading the caption into
// tokens, the rebuild, line layout and link hit-testing. The widget (MD_Label.h) paints what
// this lays out and feeds it pointer events; tests drive it with a measurer of fixed metrics.

#include "markup.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rv58 {

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned; // set of TFontStyle flags

// A font as the label sees it: family, size, colour and style. Size is in points; when
// Height (pixels) is above 0 it is the font's size instead (the window's 13 px link fonts).
struct TLabelFont {
  std::string Name; // family, UTF-8; empty = the toolkit's default family
  int Size = 8;     // points
  int Height = 0;   // pixels; 0 = use Size
  TColor Color = 0; // $BBGGRR
  TFontStyles Style = 0;

  // Size in points, also for a font given in pixels (at 96 dots per inch).
  int PointSize() const { return Height > 0 ? (Height * 72 + 48) / 96 : Size; }
  bool operator==(const TLabelFont&) const = default;
};

struct TRect {
  std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TRect&) const = default;
  bool Contains(int x, int y) const { return x >= Left && x <= Right && y >= Top && y <= Bottom; }
};

enum class TTokenClass { Word, Space, DSP, Break, Tab };

class TWordInfo {
public:
  TWordInfo() = default;
  virtual ~TWordInfo() = default;
  TTokenClass Class() const { return class_; }

  std::u16string Text;
  TRect Rect;
  TFontStyles Style = 0;
  int LinkIndex = 0;
  TColor Color = 0;
  TColor BgColor = clNoBackground;
  int Size = 0;
  int Height = 0;
  int Width = 0;
  int Descent = 0;

protected:
  explicit TWordInfo(TTokenClass c) : class_(c) {}

private:
  TTokenClass class_ = TTokenClass::Word;
};

class TSpaceInfo : public TWordInfo {
public:
  TSpaceInfo() : TWordInfo(TTokenClass::Space) {}
};

class TDSPInfo : public TWordInfo {
public:
  TDSPInfo() : TWordInfo(TTokenClass::DSP) { Text = u"  "; }
};

// Default format: empty text, no link, no background, colour 0, size 0, no style.
class TDefaultFormatInfo : public TWordInfo {
protected:
  explicit TDefaultFormatInfo(TTokenClass c) : TWordInfo(c) {}
};

class TBreakInfo : public TDefaultFormatInfo {
public:
  TBreakInfo() : TDefaultFormatInfo(TTokenClass::Break) {}
};

class TTabInfo : public TDefaultFormatInfo {
public:
  TTabInfo() : TDefaultFormatInfo(TTokenClass::Tab) {}
  int TabPos = 0; // pixels; 0 = next default stop
  bool SetIndent = false;
};

struct TLink {
  int LinkIndex = 0;
  std::u16string Text;   // visible text: the link's tokens, concatenated
  std::u16string Target; // from <a:T>; empty for <a>
  TLabelFont FontNormal;
  TLabelFont FontHover;
};

struct TLinkRect {
  TRect Rect;
  bool Hover = false;
  int LinkIndex = 0;
};

struct TLineInfo {
  std::vector<TWordInfo*> Items;
  int Width = 0;
  int Height = 0;
  int Descent = 0;
};

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// What layout needs from the toolkit: the extent of one line of text in a font, and the
// font's descent.
class ITextMeasurer {
public:
  struct TExtent {
    int Width = 0;
    int Height = 0;
  };
  virtual ~ITextMeasurer() = default;
  virtual TExtent TextExtent(const TLabelFont& font, std::u16string_view text) = 0;
  virtual int Descent(const TLabelFont& font) = 0;
};

struct TLinkClick {
  int LinkIndex = 0;
  std::u16string LinkText; // the target when there is one, else the visible text
};

// The label's model: caption, layout properties, tokens, lines, links and link rectangles.
class TMDLabelCore {
public:
  explicit TMDLabelCore(ITextMeasurer& measurer);

  // Properties (the widget mirrors them). Setting them here does not rebuild or lay out;
  // call Rebuild() or LayoutLines().
  std::u16string Caption;
  TLabelFont Font;
  TLabelFont LinkFontNormal{"", 8, 0, clLinkBlue, 0};
  TLabelFont LinkFontHover{"", 8, 0, clLinkRed, fsUnderline};
  bool AutoSizeWidth = true;
  bool AutoSizeHeight = true;
  bool CompressSpaces = false;
  int MaxWidth = 0;
  int TabWidth = 8;
  TAlignment TextAlignment = taLeftJustify;
  // Geometry: the widget keeps these in step with its own size.
  int Width = 100;
  int Height = 13;
  int TextHeight = 0;

  // Called once per link after each rebuild; may change the link's two fonts.
  std::function<void(int LinkIndex, const std::u16string& LinkText, TLabelFont& FontNormal,
                     TLabelFont& FontHover)>
      OnGetLinkStyle;

  struct TLayoutResult {
    bool WidthChanged = false;
    bool HeightChanged = false;
  };

  // Reads the caption into tokens and links, then lays out.
  TLayoutResult Rebuild();
  // Places the tokens into lines, sizes and aligns them.
  TLayoutResult LayoutLines();

  // Paint support: gives the link rectangles the rectangles of the link tokens as they are
  // drawn now; calls `draw` for every item with text, in line and item order. Draws nothing
  // while Busy().
  void PaintItems(const std::function<void(const TWordInfo&, const TLabelFont&)>& draw);
  // The font a token is measured and drawn in.
  TLabelFont FontFor(const TWordInfo& token) const;
  bool LinkHovered(int linkIndex) const;
  // A rebuild or a layout is under way (a host callback or a paint may come in between).
  bool Busy() const { return rebuilding_ || layingOut_; }

  // Pointer handling; the caller lays out and repaints when told the hover changed.
  void MouseDown(bool leftButton, int x, int y);
  std::optional<TLinkClick> MouseUp(bool leftButton, int x, int y);
  struct TMoveResult {
    bool HoverChanged = false;
    bool OverLink = false;
  };
  TMoveResult MouseMove(int x, int y);
  bool MouseLeave(); // true when some hover was cleared

  const std::vector<std::unique_ptr<TWordInfo>>& Tokens() const { return tokens_; }
  const std::vector<std::unique_ptr<TLineInfo>>& Lines() const { return lines_; }
  const std::vector<TLink>& Links() const { return links_; }
  const std::vector<TLinkRect>& LinkRects() const { return linkRects_; }
  int PressedLinkRect() const { return pressedLinkRect_; }
  bool RelayoutPending = false;

private:
  void ReadTokens();
  std::u16string LayoutText(const TWordInfo& token, const TLineInfo& line) const;
  void Shorten(TWordInfo& token, const TLabelFont& font);

  ITextMeasurer& measurer_;
  std::vector<std::unique_ptr<TWordInfo>> tokens_;
  std::vector<std::unique_ptr<TLineInfo>> lines_;
  std::vector<TLinkRect> linkRects_;
  std::vector<TLink> links_;
  // Hovered rectangles per link (index LinkIndex - 1), so a font lookup does not scan
  // every rectangle: captions with thousands of links stay linear.
  std::vector<int> hoverCount_;
  void SetHover(TLinkRect& r, bool hover);
  bool rebuilding_ = false;
  bool layingOut_ = false;
  int pressedLinkRect_ = -1;
};

} // namespace rv58
