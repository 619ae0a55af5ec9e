// The Alt-key repaint fix: hooking windows at the idle step, one repaint per burst, events passed
// on untouched, records of closed windows dropped.
#include "VistaAltFixUnit.h"

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>
#include <tuple>
#include <vector>

namespace {

// A form that counts its paints and records what its own handlers receive.
class ProbeForm : public QWidget {
public:
  ProbeForm() {
    setFocusPolicy(Qt::StrongFocus);
    resize(200, 120);
  }
  using Seen = std::tuple<int, int, int, QString, bool>; // type, key or button, modifiers, text, auto-repeat
  int paints = 0;
  int fullPaints = 0; // paints of the whole form, as opposed to the area under a changed control
  std::vector<Seen> seen;

protected:
  void paintEvent(QPaintEvent* e) override {
    ++paints;
    if (e->rect() == rect())
      ++fullPaints;
  }
  void keyPressEvent(QKeyEvent* e) override { Record(e); }
  void keyReleaseEvent(QKeyEvent* e) override { Record(e); }
  void mousePressEvent(QMouseEvent* e) override {
    seen.emplace_back(e->type(), int(e->button()), int(e->modifiers()), QString::number(e->position().x()),
                      false);
  }

private:
  void Record(QKeyEvent* e) {
    seen.emplace_back(e->type(), e->key(), int(e->modifiers()), e->text(), e->isAutoRepeat());
  }
};

// Lets the event loop run until it is about to block, which is when the idle step runs.
void RunUntilIdle() {
  QCoreApplication::processEvents();
  QEventLoop loop;
  auto* dispatcher = QAbstractEventDispatcher::instance();
  const auto c = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                  [&] { QTimer::singleShot(0, &loop, &QEventLoop::quit); });
  QTimer::singleShot(2000, &loop, &QEventLoop::quit); // never hang
  loop.exec();
  QObject::disconnect(c);
}

void ShowAndSettle(QWidget& w) {
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.activateWindow();
  w.setFocus();
  RunUntilIdle();
}

void Alt(QWidget& w, bool press) {
  if (press)
    QTest::keyPress(w.windowHandle(), Qt::Key_Alt, Qt::NoModifier);
  else
    QTest::keyRelease(w.windowHandle(), Qt::Key_Alt, Qt::NoModifier);
}

TEST(AltFix, HooksAWindowAtTheFirstIdleStepAfterItAppears) {
  TVistaAltFix fix(nullptr, true);
  ASSERT_TRUE(fix.IsActive());
  EXPECT_TRUE(fix.RepaintAll);
  ProbeForm form;
  form.show();
  EXPECT_TRUE(fix.Forms().empty()) << "nothing is hooked before the idle step";
  RunUntilIdle();
  ASSERT_EQ(fix.Forms().size(), 1u);
  EXPECT_EQ(fix.Forms()[0]->Form(), &form);
  EXPECT_TRUE(fix.Forms()[0]->RepaintAll);
  RunUntilIdle();
  EXPECT_EQ(fix.Forms().size(), 1u) << "a window is hooked once";
}

TEST(AltFix, ABurstOfAltPressesGivesExactlyOneRepaintAtTheNextIdleStep) {
  TVistaAltFix fix(nullptr, true);
  ProbeForm form;
  ShowAndSettle(form);
  ASSERT_EQ(fix.Forms().size(), 1u);
  form.paints = 0;

  for (int i = 0; i < 5; ++i) {
    Alt(form, true);
    Alt(form, false);
  }
  EXPECT_EQ(form.paints, 0) << "the repaint waits for the idle step";
  EXPECT_TRUE(fix.Forms()[0]->RepaintPending);
  RunUntilIdle();
  EXPECT_EQ(form.paints, 1);
  EXPECT_FALSE(fix.Forms()[0]->RepaintPending);
  RunUntilIdle();
  EXPECT_EQ(form.paints, 1) << "no repaint without a new change";

  Alt(form, true);
  RunUntilIdle();
  EXPECT_EQ(form.paints, 2) << "the next burst repaints again";
}

TEST(AltFix, OtherKeysDoNotRepaint) {
  TVistaAltFix fix(nullptr, true);
  ProbeForm form;
  ShowAndSettle(form);
  form.paints = 0;
  QTest::keyClick(form.windowHandle(), Qt::Key_A, Qt::NoModifier);
  QTest::keyClick(form.windowHandle(), Qt::Key_Control, Qt::ControlModifier);
  RunUntilIdle();
  EXPECT_EQ(form.paints, 0);
}

TEST(AltFix, AltInAFocusedChildControlRepaintsTheWholeForm) {
  TVistaAltFix fix(nullptr, true);
  ProbeForm form;
  auto* layout = new QVBoxLayout(&form);
  auto* edit = new QLineEdit(&form);
  layout->addWidget(edit);
  ShowAndSettle(form);
  edit->setFocus();
  RunUntilIdle();
  form.fullPaints = 0;
  Alt(form, true);
  Alt(form, false);
  // The line edit repaints its own area on a key; the fix adds the one full repaint.
  RunUntilIdle();
  RunUntilIdle();
  EXPECT_EQ(form.fullPaints, 1);
}

// Sends the same input to a window and records what the window's own handlers saw.
std::vector<ProbeForm::Seen> Feed(ProbeForm& form) {
  QWindow* win = form.windowHandle();
  QTest::keyClick(win, Qt::Key_A, Qt::NoModifier);
  QTest::keyPress(win, Qt::Key_Alt, Qt::NoModifier);
  QTest::keyClick(win, Qt::Key_B, Qt::NoModifier);
  QTest::keyRelease(win, Qt::Key_Alt, Qt::NoModifier);
  QTest::keyClick(win, Qt::Key_F9, Qt::NoModifier);
  QTest::mouseClick(win, Qt::LeftButton, Qt::NoModifier, QPoint(17, 9));
  QTest::keyClick(win, Qt::Key_Z, Qt::ShiftModifier);
  return form.seen;
}

TEST(AltFix, EventsReachTheWindowUnchangedAndInOrder) {
  std::vector<ProbeForm::Seen> expected;
  {
    ProbeForm plain;
    ShowAndSettle(plain);
    expected = Feed(plain);
  }

  TVistaAltFix fix(nullptr, true);
  ProbeForm hooked;
  ShowAndSettle(hooked);
  ASSERT_EQ(fix.Forms().size(), 1u);
  const auto got = Feed(hooked);

  ASSERT_EQ(got.size(), 13u); // presses and releases of the keys (Shift too), one mouse press
  EXPECT_EQ(got, expected);
  EXPECT_EQ(std::get<1>(got[0]), int(Qt::Key_A));
  EXPECT_EQ(std::get<0>(got[2]), int(QEvent::KeyPress));
  EXPECT_EQ(std::get<1>(got[2]), int(Qt::Key_Alt));
  EXPECT_EQ(std::get<1>(got[5]), int(Qt::Key_Alt));
  EXPECT_EQ(std::get<0>(got[5]), int(QEvent::KeyRelease));
  EXPECT_EQ(std::get<0>(got[8]), int(QEvent::MouseButtonPress));
  EXPECT_EQ(std::get<3>(got[8]), QString("17"));
  EXPECT_EQ(std::get<1>(got[10]), int(Qt::Key_Z));
  EXPECT_EQ(std::get<2>(got[10]), int(Qt::ShiftModifier));
}

TEST(AltFix, RecordsOfClosedWindowsAreDropped) {
  TVistaAltFix fix(nullptr, true);
  ProbeForm first;
  auto second = std::make_unique<ProbeForm>();
  ShowAndSettle(first);
  ShowAndSettle(*second);
  ASSERT_EQ(fix.Forms().size(), 2u);

  Alt(*second, true); // pending on a window that goes away before the idle step
  second.reset();
  RunUntilIdle();
  ASSERT_EQ(fix.Forms().size(), 1u);
  EXPECT_EQ(fix.Forms()[0]->Form(), &first);
}

TEST(AltFix, AWindowOutlivingTheFixIsUnhookedAndKeepsWorking) {
  ProbeForm form;
  {
    TVistaAltFix fix(nullptr, true);
    ShowAndSettle(form);
    ASSERT_EQ(fix.Forms().size(), 1u);
  }
  form.paints = 0;
  form.seen.clear();
  Alt(form, true);
  QTest::keyClick(form.windowHandle(), Qt::Key_A, Qt::NoModifier);
  RunUntilIdle();
  EXPECT_EQ(form.paints, 0);
  EXPECT_EQ(form.seen.size(), 3u);
}

TEST(AltFix, AnInactiveFixHooksNothing) {
  TVistaAltFix fix(nullptr, false);
  EXPECT_FALSE(fix.IsActive());
  ProbeForm form;
  ShowAndSettle(form);
  EXPECT_TRUE(fix.Forms().empty());
  form.paints = 0;
  Alt(form, true);
  Alt(form, false);
  RunUntilIdle();
  EXPECT_EQ(form.paints, 0);
  EXPECT_EQ(form.seen.size(), 2u);
}

TEST(AltFix, MenusAndToolTipsAreNotForms) {
  TVistaAltFix fix(nullptr, true);
  ProbeForm form;
  QWidget popup(nullptr, Qt::Popup);
  popup.resize(50, 50);
  ShowAndSettle(form);
  popup.show();
  RunUntilIdle();
  ASSERT_EQ(fix.Forms().size(), 1u);
  EXPECT_EQ(fix.Forms()[0]->Form(), &form);
}

} // namespace

// This program's own main (a weak one does not stand in for the entry point on Windows).
int main(int argc, char** argv) {
  // Headless, also when the build lists the tests.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setCursorFlashTime(0); // a blinking caret would repaint the forms on its own
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
