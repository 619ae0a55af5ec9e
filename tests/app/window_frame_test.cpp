// The borderless frame: hit-test zones, layout on every size change, title bar, F9 and the menu.
#include "testutil_window.h"

#include "windowframe.h"

#include "pagecontrol.h"
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <string>

#include <gtest/gtest.h>

namespace rv58::test {
namespace {

struct HitCase {
  int x, y;
  FrameHit expected;
};

// A window at left 100, top 50, right 1081, bottom 655 (one past the last pixel).
class WindowHitTest : public ::testing::TestWithParam<HitCase> {};

TEST_P(WindowHitTest, ZonesOfTheFrame) {
  const HitCase& c = GetParam();
  EXPECT_EQ(FrameHitTest(100, 50, 1081, 655, c.x, c.y), c.expected) << c.x << "," << c.y;
}

INSTANTIATE_TEST_SUITE_P(Table, WindowHitTest,
                         ::testing::Values(HitCase{106, 52, htTOPLEFT},       // dt 2, dl 6
                                           HitCase{107, 52, htTOP},           // dl 7
                                           HitCase{1080, 52, htTOPRIGHT},     // last pixel column, dr 1
                                           HitCase{1075, 52, htTOPRIGHT},     // dr 6
                                           HitCase{1074, 52, htTOP},          // dr 7
                                           HitCase{100, 654, htBOTTOMLEFT},   // last row
                                           HitCase{1080, 654, htBOTTOMRIGHT}, // last pixel
                                           HitCase{1075, 649, htBOTTOMRIGHT}, // dr 6, db 6
                                           HitCase{1074, 648, htDEFAULT},     // dr 7, db 7
                                           HitCase{102, 300, htLEFT},         // dl 2
                                           HitCase{600, 653, htBOTTOM},       // db 2
                                           HitCase{1078, 300, htRIGHT},       // dr 3
                                           HitCase{600, 300, htDEFAULT}),     // inside
                         [](const ::testing::TestParamInfo<HitCase>& info) {
                           return "x" + std::to_string(info.param.x) + "y" + std::to_string(info.param.y);
                         });

TEST(WindowFrame, ZonesResizeTheMatchingEdgesWithTheMatchingCursor) {
  EXPECT_EQ(FrameHitEdges(htTOPLEFT), Qt::TopEdge | Qt::LeftEdge);
  EXPECT_EQ(FrameHitEdges(htBOTTOMRIGHT), Qt::BottomEdge | Qt::RightEdge);
  EXPECT_EQ(FrameHitEdges(htRIGHT), Qt::Edges(Qt::RightEdge));
  EXPECT_EQ(FrameHitEdges(htDEFAULT), Qt::Edges());
  EXPECT_EQ(FrameHitCursor(htTOPRIGHT), Qt::SizeBDiagCursor);
  EXPECT_EQ(FrameHitCursor(htBOTTOM), Qt::SizeVerCursor);
  EXPECT_EQ(FrameHitCursor(htDEFAULT), Qt::ArrowCursor);
}

TEST(WindowFrame, ResizeCursorShowsOnTheFrameOnly) {
  WindowBench bench;
  auto form = bench.Start();
  QMouseEvent onLeftEdge(QEvent::MouseMove, QPointF(2, 300), form->mapToGlobal(QPointF(2, 300)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(form.get(), &onLeftEdge);
  EXPECT_EQ(form->cursor().shape(), Qt::SizeHorCursor);
  // The controls beside the frame keep the arrow.
  EXPECT_EQ(form->tree1->viewport()->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(form->Panel2->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(form->bd->cursor().shape(), Qt::ArrowCursor);
}

TEST(WindowFrame, OffScreenRuleKeepsAnyVisiblePart) {
  const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
  const QRect primary(0, 0, 1920, 1040);
  EXPECT_EQ(KeepOnScreen(QRect(3000, 900, 800, 600), screens, primary), QRect(3000, 900, 800, 600));
  EXPECT_EQ(KeepOnScreen(QRect(3300, 100, 800, 600), screens, primary), QRect(0, 0, 800, 600));
  EXPECT_EQ(KeepOnScreen(QRect(100, 1100, 800, 600), screens, primary), QRect(0, 0, 800, 600));
}

TEST(WindowFrame, PlacementMovesTheLeastThatBringsTheWindowWholeOntoItsScreen) {
  const QRect designed(348, 157, 981, 605);
  const QSize minimum(750, 550);
  EXPECT_EQ(FitToScreen(designed, {QRect(0, 0, 1920, 1040)}, minimum), designed);
  EXPECT_EQ(FitToScreen(designed, {QRect(0, 0, 1280, 984)}, minimum), QRect(299, 157, 981, 605));
  // On the second screen, which it overlaps most; sticking out above and left.
  EXPECT_EQ(
      FitToScreen(QRect(1900, -20, 981, 605), {QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)}, minimum),
      QRect(1920, 0, 981, 605));
}

TEST(WindowFrame, LayoutFollowsEverySizeChange) {
  WindowBench bench;
  auto form = bench.Start();
  for (const QSize size : {QSize(981, 605), QSize(1200, 800), QSize(750, 550)}) {
    form->resize(size);
    Settle();
    EXPECT_EQ(form->ScrollBox1->geometry(), QRect(5, 5, size.width() - 10, size.height() - 10));
    EXPECT_EQ(form->Panel2->geometry(), QRect(0, 0, size.width() - 10, 49));
    EXPECT_EQ(form->tree1->geometry(), QRect(0, 49, 265, size.height() - 10 - 49 + 5));
    EXPECT_EQ(form->Panel1->geometry(),
              QRect(265, 49, size.width() - 10 - 265 + 4, size.height() - 10 - 49 + 8));
    EXPECT_EQ(form->page1->geometry(), QRect(-4, -4, form->Panel1->width() + 8, form->Panel1->height() + 8));
    // The pages cover exactly the page area: no tab row, no border.
    EXPECT_EQ(form->page1->currentWidget()->geometry(),
              QRect(4, 4, form->Panel1->width(), form->Panel1->height()));
    EXPECT_EQ(form->CloseButton->geometry().right(), form->Panel2->width() - 1);
    EXPECT_EQ(form->MaximizeButton->geometry().right() + 1, form->CloseButton->x());
    EXPECT_EQ(form->MinimizeButton->geometry().right() + 1, form->MaximizeButton->x());
    // The upload page's label follows its panel's width.
    EXPECT_EQ(form->MDLabel3->width(), form->Panel3->width());
  }
  form->resize(600, 400);
  EXPECT_EQ(form->size(), QSize(750, 550)) << "minimum size";
}

TEST(WindowFrame, ControlsFollowTheRightAndBottomEdges) {
  WindowBench bench;
  auto form = bench.Start();
  form->resize(981 + 100, 605 + 50);
  Settle();
  // The page area grew by 100 x 50 from the designed page; every page was laid out for 704 x 548.
  const int dx = form->Panel1->width() - 704;
  const int dy = form->Panel1->height() - 548;
  EXPECT_EQ(form->merlegnev->geometry(), QRect(16, 40, 649 + dx, 22));
  EXPECT_EQ(form->leiras->geometry(), QRect(16, 96, 649 + dx, 193 + dy));
  EXPECT_EQ(form->alapbutton->geometry(), QRect(396 + dx, 448 + dy, 273, 33));
  // A hidden page is laid out when it is shown.
  form->page1->setCurrentIndex(10);
  Settle();
  EXPECT_EQ(form->FeltoltesButton->geometry(), QRect(544 + dx, 440, 121, 41));
  EXPECT_EQ(form->KijelzotesztButton->geometry(), QRect(416 + dx, 440, 121, 41));
  EXPECT_EQ(form->Panel3->geometry(), QRect(18, 209, 633 + dx, 97));
  EXPECT_EQ(form->MDLabel3->width(), form->Panel3->width());
  form->page1->setCurrentIndex(1);
  Settle();
  EXPECT_EQ(form->bd->geometry(), QRect(18, 40, 127, 21));
}

TEST(WindowFrame, MaximiseTogglesAndTitlePicturesDoNotMaximise) {
  WindowBench bench;
  auto form = bench.Start();
  form->MaximizeButtonClick();
  EXPECT_TRUE(form->isMaximized());
  form->MaximizeButtonClick();
  EXPECT_FALSE(form->isMaximized());
  // A double click on the title text stays with the text.
  QTest::mouseDClick(form->Label24, Qt::LeftButton);
  EXPECT_FALSE(form->isMaximized());
  // On the bare title bar it maximises.
  QTest::mouseDClick(form->Panel2, Qt::LeftButton, {}, QPoint(400, 25));
  EXPECT_TRUE(form->isMaximized());
}

TEST(WindowFrame, OnlyTheLeftButtonMovesTheWindow) {
  WindowBench bench;
  auto form = bench.Create();
  EXPECT_TRUE(form->Panel2MouseDown(Qt::LeftButton));
  EXPECT_FALSE(form->Panel2MouseDown(Qt::RightButton));
  EXPECT_FALSE(form->Panel2MouseDown(Qt::MiddleButton));
}

TEST(WindowFrame, F9FromInsideTheDescriptionRunsTheUpload) {
  WindowBench bench;
  auto form = bench.Start();
  form->activateWindow();
  form->leiras->setFocus();
  Settle();
  ASSERT_TRUE(form->leiras->hasFocus());
  QTest::keyClick(form->leiras, Qt::Key_F9);
  EXPECT_EQ(form->FeltoltesRuns(), 1);
  EXPECT_TRUE(form->leiras->toPlainText().isEmpty());
  QTest::mouseClick(form->FeltoltesButton, Qt::LeftButton);
  EXPECT_EQ(form->FeltoltesRuns(), 2);
  QTest::mouseClick(form->KijelzotesztButton, Qt::LeftButton);
  EXPECT_EQ(form->KijelzotesztRuns(), 1);
  EXPECT_EQ(form->valami1->text(), QString::fromUtf8("Feltöltés !"));
  form->valami1->trigger();
  EXPECT_EQ(form->FeltoltesRuns(), 3);
}

TEST(WindowFrame, WarningBoxHasItsCaptionAndTrailingReturns) {
  WindowBench bench;
  auto form = bench.Create();
  form->ShowWarning(QStringLiteral("Baj"));
  ASSERT_EQ(bench.dialogs->warnings.size(), 1U);
  EXPECT_EQ(bench.dialogs->warnings[0], QStringLiteral("Baj\r\r"));
  EXPECT_EQ(bench.dialogs->warningCaptions[0], QString::fromUtf8("Üzenet"));
}

} // namespace
} // namespace rv58::test
