#include "MD_Label.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

using namespace rv58;

namespace {

constexpr const char* kDeviceCaption =
    "Az <a>eszközkezelő indítása</a><br>A .rv5 <a>file társítása</a> a programhoz";

class LabelWidgetTest : public ::testing::Test {
protected:
  LabelWidgetTest() {
    label.OnLinkClicked = [this](TMDLabel* sender, int index, const QString& text) {
      EXPECT_EQ(sender, &label);
      clicks.emplace_back(index, text);
    };
  }

  void Show(const std::string& caption) {
    label.SetCaptionUTF8(caption);
    label.move(10, 10);
    label.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&label));
    label.repaint(); // link rectangles come from the last paint
  }
  const TWordInfo& Token(const QString& text) const {
    for (const auto& t : label.Core().Tokens()) {
      if (t->Text == text.toStdU16String()) {
        return *t;
      }
    }
    throw std::runtime_error("no such token");
  }
  QPoint Centre(const QString& text) const {
    const TRect& r = Token(text).Rect;
    return QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  }
  TColor FontColour(const QString& text) const { return label.Core().FontFor(Token(text)).Color; }

  TMDLabel label;
  std::vector<std::pair<int, QString>> clicks;
};

TEST_F(LabelWidgetTest, ClickingALinkWordReportsItsNumberAndText) {
  Show(kDeviceCaption);
  QTest::mouseClick(&label, Qt::LeftButton, {}, Centre("indítása"));
  QTest::mouseClick(&label, Qt::LeftButton, {}, Centre("file"));
  QTest::mouseClick(&label, Qt::LeftButton, {}, Centre("programhoz"));
  ASSERT_EQ(clicks.size(), 2u);
  EXPECT_EQ(clicks[0].first, 1);
  EXPECT_EQ(clicks[0].second, QString("eszközkezelő indítása"));
  EXPECT_EQ(clicks[1].first, 2);
  EXPECT_EQ(clicks[1].second, QString("file társítása"));
}

TEST_F(LabelWidgetTest, ATargetIsReportedInPlaceOfTheText) {
  Show("<a:cmd1>run now</a> <a>run now</a>");
  QTest::mouseClick(&label, Qt::LeftButton, {}, Centre("now"));
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0], (std::pair<int, QString>{1, "cmd1"}));
}

TEST_F(LabelWidgetTest, NoClickAcrossWordsOrWithTheRightButton) {
  Show(kDeviceCaption);
  QTest::mousePress(&label, Qt::LeftButton, {}, Centre("eszközkezelő"));
  QTest::mouseRelease(&label, Qt::LeftButton, {}, Centre("indítása"));
  QTest::mouseClick(&label, Qt::RightButton, {}, Centre("indítása"));
  QTest::mousePress(&label, Qt::RightButton, {}, Centre("file"));
  QTest::mouseRelease(&label, Qt::LeftButton, {}, Centre("file"));
  EXPECT_TRUE(clicks.empty());
}

TEST_F(LabelWidgetTest, HoverSwitchesTheWholeLinkAndTheCursor) {
  Show(kDeviceCaption);
  bool left = false;
  label.OnMouseLeave = [&](TMDLabel*) { left = true; };
  EXPECT_EQ(label.cursor().shape(), Qt::ArrowCursor);
  QTest::mouseMove(&label, Centre("eszközkezelő"));
  for (auto word : {"eszközkezelő", "indítása"}) {
    EXPECT_EQ(FontColour(word), clLinkRed) << word;
    EXPECT_EQ(label.Core().FontFor(Token(word)).Style, TFontStyles(fsUnderline));
  }
  EXPECT_EQ(FontColour("file"), clLinkBlue);
  EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);

  QTest::mouseMove(&label, Centre("programhoz"));
  EXPECT_EQ(FontColour("indítása"), clLinkBlue);
  EXPECT_EQ(label.cursor().shape(), Qt::ArrowCursor);

  QTest::mouseMove(&label, Centre("file"));
  EXPECT_EQ(FontColour("társítása"), clLinkRed);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&label, &leave);
  EXPECT_EQ(FontColour("társítása"), clLinkBlue);
  EXPECT_EQ(label.cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(left);
}

TEST_F(LabelWidgetTest, ThePointerShapeTheHostGaveComesBackAfterALink) {
  label.setCursor(Qt::IBeamCursor);
  Show(kDeviceCaption);
  QTest::mouseMove(&label, Centre("file"));
  EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);
  QTest::mouseMove(&label, Centre("programhoz"));
  EXPECT_EQ(label.cursor().shape(), Qt::IBeamCursor);
  QTest::mouseMove(&label, Centre("file"));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&label, &leave);
  EXPECT_EQ(label.cursor().shape(), Qt::IBeamCursor);
}

TEST_F(LabelWidgetTest, WordEdgesClickButDoNotHover) {
  Show(kDeviceCaption);
  label.repaint();
  const TRect r = Token("file").Rect;
  const int x = (r.Left + r.Right) / 2;
  QTest::mouseMove(&label, QPoint(x, r.Top));
  EXPECT_EQ(FontColour("file"), clLinkBlue);
  QTest::mouseMove(&label, QPoint(x, r.Bottom));
  EXPECT_EQ(FontColour("file"), clLinkBlue);
  EXPECT_EQ(label.cursor().shape(), Qt::ArrowCursor);
  QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(x, r.Top));
  QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(x, r.Bottom));
  ASSERT_EQ(clicks.size(), 2u);
  EXPECT_EQ(clicks[0].first, 2);
  EXPECT_EQ(clicks[1].first, 2);
}

TEST_F(LabelWidgetTest, PaintBackgroundHandlerReplacesTheColourFill) {
  label.SetColor(0x0000FF); // red: must never show
  label.OnPaintBackground = [](TMDLabel*, QPainter& canvas, int width, int height) {
    canvas.fillRect(0, 0, width, height, QColor(0, 255, 0));
  };
  label.SetCaptionUTF8("plain <bc:$FF0000>blue</bc> <a>link</a>");
  const QImage image = label.grab().toImage();
  ASSERT_FALSE(image.isNull());
  int green = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      ASSERT_FALSE(c.red() > 200 && c.green() < 60 && c.blue() < 60) << x << "," << y;
      green += c == QColor(0, 255, 0) ? 1 : 0;
    }
  }
  EXPECT_GT(green, image.width() * image.height() / 4);
  // The background tag paints opaquely behind its word: most of its box is blue, whatever a
  // smoothed glyph's edge covers.
  const TRect b = Token("blue").Rect;
  int blue = 0;
  for (int y = b.Top; y < b.Bottom; ++y) {
    for (int x = b.Left; x < b.Right; ++x) {
      blue += image.pixelColor(x, y) == QColor(0, 0, 255) ? 1 : 0;
    }
  }
  EXPECT_GT(blue, (b.Right - b.Left) * (b.Bottom - b.Top) / 2);

  label.OnPaintBackground = nullptr;
  const QImage plain = label.grab().toImage();
  EXPECT_EQ(plain.pixelColor(plain.width() - 1, plain.height() - 1), QColor(255, 0, 0));
}

// A link style handler that repaints or grabs the label runs while the tokens are being made:
// only the background may be painted then, and no freed token may be read (AddressSanitizer).
TEST_F(LabelWidgetTest, PaintingDuringARebuildShowsOnlyTheBackground) {
  label.SetColor(0xFFFFFF);
  Show(kDeviceCaption);
  std::vector<QImage> during;
  label.OnGetLinkStyle = [&](TMDLabel*, int, const std::string&, TLabelFont&, TLabelFont&) {
    label.repaint();
    during.push_back(label.grab().toImage());
  };
  label.SetCaptionUTF8("Elérhető soros portok (<a>frissítés</a>)");
  ASSERT_EQ(during.size(), 1u);
  const auto inked = [](const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        n += image.pixelColor(x, y) != QColor(Qt::white) ? 1 : 0;
      }
    }
    return n;
  };
  EXPECT_EQ(inked(during[0]), 0);
  EXPECT_GT(inked(label.grab().toImage()), 0);
}

TEST_F(LabelWidgetTest, CaptionForms) {
  label.SetCaptionUTF8("ab\xC3");
  EXPECT_EQ(label.Caption(), QString("invalid UTF8"));
  EXPECT_EQ(label.CaptionUTF8(), "ab\xC3");
  label.SetCaption("Elérhető <b>x</b>");
  EXPECT_EQ(label.CaptionUTF8(), "Elérhető <b>x</b>");
  label.SetCaptionUTF8("");
  EXPECT_EQ(label.Caption(), QString());
  EXPECT_TRUE(label.Core().Tokens().empty());
}

TEST_F(LabelWidgetTest, SizesItselfToItsText) {
  int widthChanges = 0;
  int heightChanges = 0;
  label.OnWidthChanged = [&](TMDLabel*) { ++widthChanges; };
  label.OnHeightChanged = [&](TMDLabel*) { ++heightChanges; };
  Show(kDeviceCaption);
  const auto& lines = label.Core().Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(label.height(), lines[0]->Height + lines[1]->Height);
  EXPECT_EQ(label.width(), std::max(lines[0]->Width, lines[1]->Width));
  EXPECT_EQ(label.TextHeight(), label.height());
  EXPECT_GE(widthChanges, 1);
  EXPECT_GE(heightChanges, 1);

  // A fixed width wraps.
  label.SetAutoSizeWidth(false);
  label.resize(60, label.height());
  EXPECT_GT(label.Core().Lines().size(), 2u);
  EXPECT_EQ(label.height(), label.TextHeight());

  // Hidden: the new width counts once laid out.
  TMDLabel hidden;
  hidden.SetAutoSizeWidth(false);
  hidden.SetCaptionUTF8(kDeviceCaption);
  hidden.resize(1000, hidden.height());
  hidden.LayoutLines();
  ASSERT_EQ(hidden.Core().Lines().size(), 2u);
  const int oneLine = hidden.Core().Lines()[0]->Height;
  hidden.resize(60, hidden.height());
  hidden.LayoutLines();
  EXPECT_GT(hidden.Core().Lines().size(), 2u);
  EXPECT_GT(hidden.height(), 2 * oneLine);
}

TEST_F(LabelWidgetTest, LinkStyleHandlerGetsWindows1250TextAndMayRestyle) {
  std::vector<std::string> texts;
  label.OnGetLinkStyle = [&](TMDLabel*, int index, const std::string& text, TLabelFont& normal, TLabelFont&) {
    texts.push_back(text);
    if (index == 1) {
      normal.Color = 0x008000;
    }
  };
  label.SetCaptionUTF8("Elérhető soros portok (<a>frissítés</a>) <a>ő</a>");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "friss\xEDt\xE9s");
  EXPECT_EQ(texts[1], "\xF5");
  EXPECT_EQ(FontColour("frissítés"), 0x008000u);
}

// Real font metrics and painting on captions far beyond what the window shows.
TEST_F(LabelWidgetTest, HugeCaptionsPaintWithoutTrouble) {
  label.SetMaxWidth(300);
  label.SetCaptionUTF8(std::string(std::size_t(1) << 20, 'w'));
  ASSERT_EQ(label.Core().Tokens().size(), 1u);
  EXPECT_LE(label.width(), 300);
  EXPECT_GT(label.width(), 250);
  const std::u16string& shown = label.Core().Tokens()[0]->Text;
  EXPECT_LT(shown.size(), 300u);
  EXPECT_EQ(shown.substr(shown.size() - 3), u"...");
  EXPECT_FALSE(label.grab().isNull());

  std::string nested;
  for (int i = 0; i < 10000; ++i) {
    nested += "<b><fs:9><c:clred><a>x";
  }
  label.SetCaptionUTF8(nested);
  EXPECT_EQ(label.Core().Links().size(), 10000u);
  EXPECT_FALSE(label.grab().isNull());
}

TEST_F(LabelWidgetTest, QtColoursAndFontsConvert) {
  EXPECT_EQ(TMDLabel::ToQColor(0x17335C), QColor(92, 51, 23));
  EXPECT_EQ(TMDLabel::FromQColor(QColor(255, 140, 0)), 0x008CFFu);
  QFont f("Tahoma");
  f.setPixelSize(13);
  f.setUnderline(true);
  const TLabelFont lf = TMDLabel::FromQFont(f, clLinkRed);
  EXPECT_EQ(lf.Height, 13);
  EXPECT_EQ(lf.Style, TFontStyles(fsUnderline));
  EXPECT_EQ(TMDLabel::ToQFont(lf).pixelSize(), 13);
  EXPECT_TRUE(TMDLabel::ToQFont(lf).underline());
}

} // namespace

int main(int argc, char** argv) {
  // Headless always, also when the test list is read at build time.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
