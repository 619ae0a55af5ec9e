// The navigation tree: node to page mapping, keyboard, colours of the items.
#include "testutil_window.h"

#include "navtree.h"
#include "windowframe.h"

#include "pagecontrol.h"
#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace rv58::test {
namespace {

QTreeWidgetItem* NodeAt(Trvform& form, int position) {
  int i = 0;
  for (QTreeWidgetItemIterator it(form.tree1); *it != nullptr; ++it, ++i) {
    if (i == position) {
      return *it;
    }
  }
  return nullptr;
}

TEST(WindowTree, TwelveNodesFortyPixelsHighFirstRootExpanded) {
  WindowBench bench;
  auto form = bench.Start();
  EXPECT_EQ(form->tree1->topLevelItemCount(), 3);
  EXPECT_EQ(form->tree1->topLevelItem(0)->childCount(), 9);
  EXPECT_TRUE(form->tree1->topLevelItem(0)->isExpanded());
  EXPECT_EQ(form->tree1->visualItemRect(NodeAt(*form, 1)).height(), 40);
  EXPECT_EQ(form->tree1->visualItemRect(NodeAt(*form, 11)).top(), 11 * 40);
  // The program selects nothing; a tree that took the focus picks its first node itself.
  EXPECT_TRUE(form->tree1->currentItem() == nullptr || form->tree1->currentItem() == NodeAt(*form, 0));
  EXPECT_EQ(form->page1->currentIndex(), 0);
  EXPECT_EQ(NodeAt(*form, 9)->text(0), QString::fromUtf8("Órakijelzés"));
}

TEST(WindowTree, FocusWithNothingSelectedSelectsTheFirstNode) {
  WindowBench bench;
  auto form = bench.Create(); // not shown yet: the tree has never had the focus
  form->page1->setCurrentIndex(5);
  ASSERT_TRUE(form->tree1->selectedItems().isEmpty());
  QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(form->tree1, &focusIn);
  EXPECT_EQ(form->tree1->currentItem(), NodeAt(*form, 0));
  ASSERT_EQ(form->tree1->selectedItems().size(), 1);
  EXPECT_EQ(form->tree1->selectedItems().first(), NodeAt(*form, 0));
  EXPECT_EQ(form->page1->currentIndex(), 0);
}

TEST(WindowTree, ClickingANodeShowsItsPage) {
  WindowBench bench;
  auto form = bench.Start();
  QTreeWidgetItem* clock = NodeAt(*form, 9);
  QTest::mouseClick(form->tree1->viewport(), Qt::LeftButton, {}, form->tree1->visualItemRect(clock).center());
  EXPECT_EQ(form->page1->currentIndex(), 9);
  EXPECT_EQ(form->page1->currentWidget()->objectName(), "TabSheet3");
}

TEST(WindowTree, ArrowKeysChangeThePageWithEveryStep) {
  WindowBench bench;
  auto form = bench.Start();
  form->tree1->setCurrentItem(NodeAt(*form, 0));
  form->tree1->setFocus();
  for (int step = 1; step < 12; ++step) {
    QTest::keyClick(form->tree1, Qt::Key_Down);
    EXPECT_EQ(form->page1->currentIndex(), step);
  }
  QTest::keyClick(form->tree1, Qt::Key_Up);
  EXPECT_EQ(form->page1->currentIndex(), 10);
}

TEST(WindowTree, CollapsedNodesStillCountForTheMapping) {
  WindowBench bench;
  auto form = bench.Start();
  form->tree1->topLevelItem(0)->setExpanded(false);
  Settle();
  QTest::mouseClick(form->tree1->viewport(), Qt::LeftButton, {},
                    form->tree1->visualItemRect(form->tree1->topLevelItem(1)).center());
  EXPECT_EQ(form->page1->currentIndex(), 10);
  EXPECT_EQ(form->page1->currentWidget()->objectName(), "TabSheet15");
  QTest::mouseClick(form->tree1->viewport(), Qt::LeftButton, {},
                    form->tree1->visualItemRect(form->tree1->topLevelItem(2)).center());
  EXPECT_EQ(form->page1->currentIndex(), 11);
}

TEST(WindowTree, ItemColoursSelectedHotAndPlain) {
  const QColor window(Qt::white);
  EXPECT_EQ(TreeItemBackground(true, false, window), QColor(0, 125, 184));
  EXPECT_EQ(TreeItemBackground(false, false, window), window);
  EXPECT_EQ(TreeItemBackground(true, true, window), QColor(192, 192, 192));
  EXPECT_EQ(TreeItemBackground(false, true, window), QColor(192, 192, 192));
}

TEST(WindowTree, DrawnRowsCarryTheirColours) {
  WindowBench bench;
  auto form = bench.Start();
  QTreeWidgetItem* selected = NodeAt(*form, 2);
  form->tree1->setCurrentItem(selected);
  auto pixelRight = [&](QTreeWidgetItem* item) {
    const QImage image = form->tree1->viewport()->grab().toImage();
    const QRect r = form->tree1->visualItemRect(item);
    return QColor(image.pixel(form->tree1->viewport()->width() - 3, r.top() + 3));
  };
  EXPECT_EQ(pixelRight(selected), QColor(0, 125, 184));
  EXPECT_EQ(pixelRight(NodeAt(*form, 3)), QColor(Qt::white));

  // The mouse over the selected item: silver wins.
  const QPoint over = form->tree1->visualItemRect(selected).center();
  QMouseEvent move(QEvent::MouseMove, over, form->tree1->viewport()->mapToGlobal(over), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form->tree1->viewport(), &move);
  EXPECT_EQ(form->tree1->HotItem(), selected);
  EXPECT_EQ(pixelRight(selected), QColor(192, 192, 192));
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(form->tree1->viewport(), &leave);
  EXPECT_EQ(pixelRight(selected), QColor(0, 125, 184));
}

} // namespace
} // namespace rv58::test
