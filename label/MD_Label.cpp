#include "MD_Label.h"

#include "cp1250.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>
#include <utility>
#include <vector>

namespace rv58 {

namespace {

QString ToQString(std::u16string_view s) {
  return QString::fromUtf16(s.data(), qsizetype(s.size()));
}
std::u16string ToU16(const QString& s) {
  return std::u16string(s.toStdU16String());
}

} // namespace

// Measures with QFontMetrics; keeps the metrics of the few fonts a label uses.
class TQtTextMeasurer : public ITextMeasurer {
public:
  TExtent TextExtent(const TLabelFont& font, std::u16string_view text) override {
    const QFontMetrics& fm = Metrics(font);
    return TExtent{fm.horizontalAdvance(ToQString(text)), fm.height()};
  }
  int Descent(const TLabelFont& font) override { return Metrics(font).descent(); }

private:
  const QFontMetrics& Metrics(const TLabelFont& font) {
    for (auto& entry : cache_) {
      if (entry.first == font) {
        return entry.second;
      }
    }
    if (cache_.size() >= 32) {
      cache_.clear();
    }
    cache_.emplace_back(font, QFontMetrics(TMDLabel::ToQFont(font)));
    return cache_.back().second;
  }
  std::vector<std::pair<TLabelFont, QFontMetrics>> cache_;
};

TMDLabel::TMDLabel(QWidget* parent)
    : QWidget(parent), measurer_(std::make_unique<TQtTextMeasurer>()), core_(*measurer_) {
  // The label paints every pixel itself.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::ArrowCursor);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  color_ = FromQColor(palette().color(QPalette::Window));
  core_.Font = FromQFont(font(), FromQColor(palette().color(QPalette::WindowText)));
  core_.LinkFontNormal = core_.Font;
  core_.LinkFontNormal.Color = clLinkBlue;
  core_.LinkFontNormal.Style = 0;
  core_.LinkFontHover = core_.Font;
  core_.LinkFontHover.Color = clLinkRed;
  core_.LinkFontHover.Style = fsUnderline;
  core_.OnGetLinkStyle = [this](int index, const std::u16string& text, TLabelFont& normal,
                                TLabelFont& hover) {
    if (!OnGetLinkStyle) {
      return;
    }
    OnGetLinkStyle(this, index, Utf16ToCp1250(text), normal, hover);
  };
  core_.Width = 100;
  core_.Height = 13;
  resize(100, 13);
}

TMDLabel::~TMDLabel() = default;

QString TMDLabel::Caption() const {
  return ToQString(core_.Caption);
}

void TMDLabel::SetCaption(const QString& value) {
  std::u16string text = ToU16(value);
  if (text == core_.Caption) {
    return;
  }
  core_.Caption = std::move(text);
  captionUtf8_ = EncodeUtf8(core_.Caption);
  Rebuild();
  update();
}

void TMDLabel::SetCaptionUTF8(const std::string& value) {
  if (value == captionUtf8_) {
    return;
  }
  captionUtf8_ = value;
  auto decoded = DecodeUtf8Strict(value);
  if (!decoded || (decoded->empty() && !value.empty())) {
    core_.Caption = u"invalid UTF8";
  } else {
    core_.Caption = std::move(*decoded);
  }
  Rebuild();
  update();
}

#define RV58_LAYOUT_SETTER(Name, Type)                                                                       \
  void TMDLabel::Set##Name(Type value) {                                                                     \
    if (core_.Name == value) {                                                                               \
      return;                                                                                                \
    }                                                                                                        \
    core_.Name = value;                                                                                      \
    LayoutLines();                                                                                           \
    update();                                                                                                \
  }

RV58_LAYOUT_SETTER(AutoSizeHeight, bool)
RV58_LAYOUT_SETTER(AutoSizeWidth, bool)
RV58_LAYOUT_SETTER(CompressSpaces, bool)
RV58_LAYOUT_SETTER(MaxWidth, int)
RV58_LAYOUT_SETTER(TabWidth, int)
RV58_LAYOUT_SETTER(TextAlignment, TAlignment)
#undef RV58_LAYOUT_SETTER

void TMDLabel::SetColor(TColor value) {
  parentColor_ = false;
  if (value != color_) {
    color_ = value;
    update();
  }
}

void TMDLabel::SetParentColor(bool value) {
  parentColor_ = value;
  if (value) {
    color_ = FromQColor(palette().color(QPalette::Window));
    update();
  }
}

void TMDLabel::SetFont(const TLabelFont& value) {
  parentFont_ = false;
  if (value == core_.Font) {
    return;
  }
  core_.Font = value;
  Rebuild();
  update();
}

void TMDLabel::SetParentFont(bool value) {
  parentFont_ = value;
  if (value) {
    const TLabelFont f = FromQFont(font(), core_.Font.Color);
    if (!(f == core_.Font)) {
      core_.Font = f;
      Rebuild();
      update();
    }
  }
}

void TMDLabel::SetLinkFontNormal(const TLabelFont& value) {
  if (value == core_.LinkFontNormal) {
    return;
  }
  core_.LinkFontNormal = value;
  Rebuild();
  update();
}

void TMDLabel::SetLinkFontHover(const TLabelFont& value) {
  if (value == core_.LinkFontHover) {
    return;
  }
  core_.LinkFontHover = value;
  Rebuild();
  update();
}

TLabelFont TMDLabel::FromQFont(const QFont& font, TColor color) {
  TLabelFont f;
  f.Name = font.family().toStdString();
  if (font.pixelSize() > 0) {
    f.Height = font.pixelSize();
    f.Size = f.PointSize();
  } else {
    f.Size = std::max(1, int(std::lround(font.pointSizeF())));
  }
  f.Color = color;
  f.Style = (font.bold() ? fsBold : 0u) | (font.italic() ? fsItalic : 0u) |
            (font.underline() ? fsUnderline : 0u) | (font.strikeOut() ? fsStrikeOut : 0u);
  return f;
}

QFont TMDLabel::ToQFont(const TLabelFont& font) {
  QFont f;
  if (!font.Name.empty()) {
    f.setFamily(QString::fromStdString(font.Name));
  }
  if (font.Height > 0) {
    f.setPixelSize(font.Height);
  } else {
    f.setPointSize(std::max(1, font.Size));
  }
  f.setBold((font.Style & fsBold) != 0);
  f.setItalic((font.Style & fsItalic) != 0);
  f.setUnderline((font.Style & fsUnderline) != 0);
  f.setStrikeOut((font.Style & fsStrikeOut) != 0);
  return f;
}

QColor TMDLabel::ToQColor(TColor color) {
  return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

TColor TMDLabel::FromQColor(const QColor& color) {
  return TColor(color.red()) | (TColor(color.green()) << 8) | (TColor(color.blue()) << 16);
}

void TMDLabel::Rebuild() {
  ApplyLayoutResult(core_.Rebuild());
}

void TMDLabel::LayoutLines() {
  // A hidden widget gets its resize event only when shown; take its size from here too.
  if (!applyingSize_) {
    core_.Width = width();
    core_.Height = height();
  }
  ApplyLayoutResult(core_.LayoutLines());
}

void TMDLabel::ApplyLayoutResult(const TMDLabelCore::TLayoutResult& result) {
  if (!result.WidthChanged && !result.HeightChanged) {
    return;
  }
  applyingSize_ = true;
  resize(core_.Width, core_.Height);
  applyingSize_ = false;
  updateGeometry();
  if (result.WidthChanged && OnWidthChanged) {
    OnWidthChanged(this);
  }
  if (result.HeightChanged && OnHeightChanged) {
    OnHeightChanged(this);
  }
}

QSize TMDLabel::sizeHint() const {
  return QSize(core_.Width, core_.Height);
}

void TMDLabel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  core_.Height = height();
  if (applyingSize_ || width() == core_.Width) {
    return;
  }
  // A new width from outside (the parent's layout, the program): wrap again.
  core_.Width = width();
  LayoutLines();
  update();
  if (OnWidthChanged) {
    OnWidthChanged(this);
  }
}

void TMDLabel::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange && parentFont_) {
    const TLabelFont f = FromQFont(font(), core_.Font.Color);
    if (!(f == core_.Font)) {
      core_.Font = f;
      Rebuild();
      update();
    }
  } else if (event->type() == QEvent::PaletteChange && parentColor_) {
    color_ = FromQColor(palette().color(QPalette::Window));
    update();
  }
}

void TMDLabel::paintEvent(QPaintEvent*) {
  // Inside a rebuild or layout (a host callback that repaints or grabs) only the background
  // is painted: the items are being made.
  if (core_.RelayoutPending && !core_.Busy()) {
    core_.RelayoutPending = false;
    LayoutLines();
    core_.RelayoutPending = false;
  }
  QPainter painter(this);
  if (OnPaintBackground) {
    OnPaintBackground(this, painter, width(), height());
  } else {
    painter.fillRect(rect(), ToQColor(color_));
  }
  const QString tabText(std::max(0, core_.TabWidth), QLatin1Char(' '));
  core_.PaintItems([&](const TWordInfo& item, const TLabelFont& font) {
    const TRect& r = item.Rect;
    const QRect box(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    if (item.BgColor != clNoBackground) {
      painter.fillRect(box, ToQColor(item.BgColor));
    }
    QString text = ToQString(item.Text);
    if (item.Class() == TTokenClass::Space) {
      // Blanks draw as blanks, so an underlined link shows its line under them too.
      text.replace(QLatin1Char('\t'), tabText);
    }
    painter.setFont(ToQFont(font));
    painter.setPen(ToQColor(font.Color));
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
  });
}

void TMDLabel::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  core_.MouseDown(event->button() == Qt::LeftButton, p.x(), p.y());
  QWidget::mousePressEvent(event);
}

void TMDLabel::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  const auto click = core_.MouseUp(event->button() == Qt::LeftButton, p.x(), p.y());
  QWidget::mouseReleaseEvent(event);
  // Last: the handler may change the caption or even delete the label.
  if (click && OnLinkClicked) {
    OnLinkClicked(this, click->LinkIndex, ToQString(click->LinkText));
  }
}

void TMDLabel::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  const auto result = core_.MouseMove(p.x(), p.y());
  if (result.HoverChanged) {
    LayoutLines();
    update();
  }
  if (result.OverLink != handCursor_) {
    ShowHandCursor(result.OverLink);
  }
  QWidget::mouseMoveEvent(event);
  if (p.x() < 0 || p.x() > width() || p.y() < 0 || p.y() > height()) {
    if (OnMouseLeave) {
      OnMouseLeave(this);
    }
  }
}

bool TMDLabel::event(QEvent* event) {
  if (event->type() == QEvent::CursorChange && !settingCursor_) {
    // The host chose a pointer shape: it is the one to return to from a link.
    normalCursor_ = cursor();
    normalCursorSet_ = testAttribute(Qt::WA_SetCursor);
    handCursor_ = false;
  }
  return QWidget::event(event);
}

void TMDLabel::ShowHandCursor(bool hand) {
  handCursor_ = hand;
  settingCursor_ = true;
  if (hand) {
    setCursor(Qt::PointingHandCursor);
  } else if (normalCursorSet_) {
    setCursor(normalCursor_);
  } else {
    unsetCursor();
  }
  settingCursor_ = false;
}

void TMDLabel::leaveEvent(QEvent* event) {
  DoLeave();
  QWidget::leaveEvent(event);
}

void TMDLabel::DoLeave() {
  if (core_.MouseLeave()) {
    LayoutLines();
    update();
  }
  if (handCursor_) {
    ShowHandCursor(false);
  }
  if (OnMouseLeave) {
    OnMouseLeave(this);
  }
}

} // namespace rv58
