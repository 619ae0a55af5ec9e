#pragma once

// TMDLabel: a self-painted label showing a caption in a small mark-up language
// (<b> <i> <u> <s>, <c:V> <bc:V> <fs:N>, <br>, <t> <t:N> <tf:N>, <dsp>, <a> <a:T>), wrapping
// it to its width, sizing itself to its text, and reporting clicks on links by number
// (the first link of the caption is 1).

#include "labelcore.h"

#include <QCursor>
#include <QFont>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QPainter;

namespace rv58 {

class TQtTextMeasurer;

class TMDLabel : public QWidget {
  Q_OBJECT

public:
  explicit TMDLabel(QWidget* parent = nullptr);
  ~TMDLabel() override;

  // Mark-up text. Setting a new value rebuilds, lays out and repaints.
  QString Caption() const;
  void SetCaption(const QString& value);
  // The same text as UTF-8 bytes. Bytes that are not valid UTF-8 show "invalid UTF8".
  std::string CaptionUTF8() const { return captionUtf8_; }
  void SetCaptionUTF8(const std::string& value);

  bool AutoSizeHeight() const { return core_.AutoSizeHeight; }
  void SetAutoSizeHeight(bool value);
  bool AutoSizeWidth() const { return core_.AutoSizeWidth; }
  void SetAutoSizeWidth(bool value);
  bool CompressSpaces() const { return core_.CompressSpaces; }
  void SetCompressSpaces(bool value);
  int MaxWidth() const { return core_.MaxWidth; } // pixels, 0 = no limit
  void SetMaxWidth(int value);
  int TabWidth() const { return core_.TabWidth; } // spaces per tab character
  void SetTabWidth(int value);
  TAlignment TextAlignment() const { return core_.TextAlignment; }
  void SetTextAlignment(TAlignment value);
  int TextHeight() const { return core_.TextHeight; }

  // Background fill, $BBGGRR. Follows the parent's background until set.
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);

  // Base font of text outside links. Follows the widget's (parent's) QFont until set.
  TLabelFont Font() const { return core_.Font; }
  void SetFont(const TLabelFont& value);
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);
  // Fonts of links away from and under the pointer. At creation: copies of Font,
  // blue without style, and red underlined.
  TLabelFont LinkFontNormal() const { return core_.LinkFontNormal; }
  void SetLinkFontNormal(const TLabelFont& value);
  TLabelFont LinkFontHover() const { return core_.LinkFontHover; }
  void SetLinkFontHover(const TLabelFont& value);

  // Events; an empty one is skipped.
  std::function<void(TMDLabel* Sender, int LinkIndex, const QString& LinkText)> OnLinkClicked;
  // After every rebuild, once per link; LinkText is 8-bit (Windows-1250).
  std::function<void(TMDLabel* Sender, int LinkIndex, const std::string& LinkText, TLabelFont& FontNormal,
                     TLabelFont& FontHover)>
      OnGetLinkStyle;
  // Paints the background in place of the Color fill.
  std::function<void(TMDLabel* Sender, QPainter& Canvas, int Width, int Height)> OnPaintBackground;
  std::function<void(TMDLabel* Sender)> OnHeightChanged;
  std::function<void(TMDLabel* Sender)> OnWidthChanged;
  std::function<void(TMDLabel* Sender)> OnMouseLeave;

  // Conversions between the label's fonts and Qt's.
  static TLabelFont FromQFont(const QFont& font, TColor color = 0);
  static QFont ToQFont(const TLabelFont& font);
  static QColor ToQColor(TColor color);
  static TColor FromQColor(const QColor& color);

  // The model, for inspection (tokens, lines, links, link rectangles).
  const TMDLabelCore& Core() const { return core_; }
  // Lays out again at the current size. A visible label does this by itself when its width
  // changes; a hidden one gets Qt's resize event only when shown, so call this after
  // resizing a hidden label when its new height is needed at once.
  void LayoutLines();

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

private:
  void Rebuild();
  void ApplyLayoutResult(const TMDLabelCore::TLayoutResult& result);
  void DoLeave();
  void ShowHandCursor(bool hand); // the hand over a link, else the host's shape

  std::unique_ptr<TQtTextMeasurer> measurer_;
  TMDLabelCore core_;
  std::string captionUtf8_;
  TColor color_ = 0xFFFFFF;
  bool parentColor_ = true;
  bool parentFont_ = true;
  bool applyingSize_ = false;
  bool handCursor_ = false;
  QCursor normalCursor_{Qt::ArrowCursor}; // the shape the host gave (the arrow at creation)
  bool normalCursorSet_ = true;           // false: the host unset it, the parent's shows
  bool settingCursor_ = false;
};

} // namespace rv58
