// The information page: its controls and texts, and where a click on its labels leads.
#include "infopage_labels.h"
#include "testutil_window.h"
#include "windowfonts.h"

#include <QGuiApplication>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace rv58::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::u16string> LinkTexts(QWidget* label) {
  std::vector<std::u16string> texts;
  for (const TLink& link : Rich(label)->Core().Links()) {
    texts.push_back(link.Text);
  }
  return texts;
}

TEST(InfoPage, ControlsTextsAndPlaces) {
  WindowBench bench;
  auto form = StartOnInfoPage(bench);
  QWidget* page = form->page1->widget(11);
  EXPECT_EQ(page->objectName(), "TabSheet2");
  for (QWidget* control :
       std::initializer_list<QWidget*>{form->MDLabel2, form->Memo1, form->MDLabel4, form->Label27,
                                       form->Label28, form->Label29, form->MDLabel1}) {
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget(), page) << control->objectName().toStdString();
    EXPECT_TRUE(control->isVisible()) << control->objectName().toStdString();
  }

  ASSERT_NE(Rich(form->MDLabel2), nullptr);
  ASSERT_NE(Rich(form->MDLabel4), nullptr);
  ASSERT_NE(Rich(form->MDLabel1), nullptr);
  EXPECT_EQ(Rich(form->MDLabel2)->CaptionUTF8(), "Elérhető soros portok (<a>frissítés</a>)");
  EXPECT_EQ(Rich(form->MDLabel4)->CaptionUTF8(),
            "Az <a>eszközkezelő indítása</a><br>A .rv5 <a>file társítása</a> a programhoz");
  EXPECT_EQ(Rich(form->MDLabel1)->CaptionUTF8(), "<a>https://rv58led.example/support</a>");
  EXPECT_THAT(LinkTexts(form->MDLabel2), ElementsAre(u"frissítés"));
  EXPECT_THAT(LinkTexts(form->MDLabel4), ElementsAre(u"eszközkezelő indítása", u"file társítása"));
  EXPECT_THAT(LinkTexts(form->MDLabel1), ElementsAre(u"https://rv58led.example/support"));
  EXPECT_EQ(Rich(form->MDLabel4)->Core().Lines().size(), 2u); // the <br> makes two lines

  EXPECT_EQ(form->Label27->text(), "Programverzió:");
  EXPECT_EQ(form->Label28->text(), "0.2");
  EXPECT_EQ(form->Label29->text(), "Terméktámogatás:");

  EXPECT_EQ(form->MDLabel2->pos(), QPoint(17, 16));
  EXPECT_EQ(form->Memo1->pos(), QPoint(16, 40));
  EXPECT_EQ(form->Memo1->height(), 193);
  // The memo follows the page's right edge at the designed distance.
  EXPECT_EQ(page->width() - form->Memo1->geometry().right() - 1, 704 - 16 - 641);
  EXPECT_EQ(form->MDLabel4->pos(), QPoint(17, 240));
  EXPECT_EQ(form->Label27->pos(), QPoint(17, 296));
  EXPECT_EQ(form->Label28->pos(), QPoint(192, 296));
  EXPECT_EQ(form->Label29->pos(), QPoint(17, 320));
  EXPECT_EQ(form->MDLabel1->pos(), QPoint(192, 322));
}

TEST(InfoPage, RichLabelPropertiesAndLinkFonts) {
  WindowBench bench;
  auto form = StartOnInfoPage(bench);
  const std::pair<QWidget*, int> labels[] = {
      {form->MDLabel2, 13}, {form->MDLabel4, 13}, {form->MDLabel1, 11}};
  for (const auto& [widget, pixels] : labels) {
    SCOPED_TRACE(widget->objectName().toStdString());
    TMDLabel* label = Rich(widget);
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->AutoSizeWidth());
    EXPECT_TRUE(label->AutoSizeHeight());
    EXPECT_EQ(label->MaxWidth(), 0);
    EXPECT_FALSE(label->CompressSpaces());
    EXPECT_EQ(label->TabWidth(), 8);
    EXPECT_EQ(label->TextAlignment(), taLeftJustify);
    const TLabelFont normal = label->LinkFontNormal();
    EXPECT_EQ(normal.Name, TahomaFamily().toStdString());
    EXPECT_EQ(normal.Height, pixels);
    EXPECT_EQ(normal.Color, clLinkBlue);
    EXPECT_EQ(normal.Style, 0u);
    const TLabelFont hover = label->LinkFontHover();
    EXPECT_EQ(hover.Name, TahomaFamily().toStdString());
    EXPECT_EQ(hover.Height, pixels);
    EXPECT_EQ(hover.Color, clLinkRed);
    EXPECT_EQ(hover.Style, static_cast<TFontStyles>(fsUnderline));
    // Sized to its text: the whole text fits.
    EXPECT_GE(label->width(), label->sizeHint().width());
    EXPECT_GE(label->height(), label->TextHeight());
  }
}

TEST(InfoPage, MemoCannotBeEdited) {
  WindowBench bench;
  auto form = StartOnInfoPage(bench);
  EXPECT_TRUE(form->Memo1->isReadOnly());
  const QString before = form->Memo1->toPlainText();
  ASSERT_FALSE(before.isEmpty());
  form->Memo1->setFocus();
  QTest::keyClicks(form->Memo1, QStringLiteral("xyz"));
  QTest::keyClick(form->Memo1, Qt::Key_Backspace);
  QTest::keyClick(form->Memo1, Qt::Key_Delete);
  EXPECT_EQ(form->Memo1->toPlainText(), before);
}

TEST(InfoPageLinks, ClickedLinksReachTheirActions) {
  WindowBench bench;
  auto form = StartOnInfoPage(bench);
  const auto details = LinkPoint(form->MDLabel4, 1);
  const auto associate = LinkPoint(form->MDLabel4, 2);
  const auto support = LinkPoint(form->MDLabel1, 1);
  ASSERT_TRUE(details && associate && support);

  ClickAt(form->MDLabel4, *details);
  EXPECT_THAT(bench.shellActions, ElementsAre("port details"));
  ClickAt(form->MDLabel4, *associate);
  EXPECT_THAT(bench.shellActions, ElementsAre("port details", "associate"));
  ClickAt(form->MDLabel1, *support);
  EXPECT_THAT(bench.shellActions,
              ElementsAre("port details", "associate", "open https://rv58led.example/support"));
  // A second click repeats the action; nothing is remembered between clicks.
  ClickAt(form->MDLabel4, *associate);
  EXPECT_EQ(bench.shellActions.size(), 4u);
  EXPECT_EQ(bench.shellActions.back(), "associate");
  EXPECT_THAT(bench.dialogs->warnings, IsEmpty()); // nothing reported
}

// The association's refresh tools may take seconds: the window's thread serves its events (and
// so keeps painting) under the hourglass meanwhile.
TEST(InfoPageLinks, TheAssociationLeavesTheWindowLiveWithTheHourglass) {
  WindowBench bench;
  std::atomic<bool> served{false};
  Qt::CursorShape shown = Qt::ArrowCursor;
  bench.associate = [&] {
    QMetaObject::invokeMethod(
        qApp,
        [&] {
          shown = QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape()
                                                    : Qt::ArrowCursor;
          served = true;
        },
        Qt::QueuedConnection);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!served && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  };
  auto form = StartOnInfoPage(bench);
  form->MDLabel4LinkClicked(2);
  EXPECT_TRUE(served) << "the window's thread waited for the association";
  EXPECT_EQ(shown, Qt::WaitCursor);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_THAT(bench.shellActions, ElementsAre("associate"));
}

TEST(InfoPageLinks, UnknownIndicesDoNothing) {
  WindowBench bench;
  auto form = StartOnInfoPage(bench);
  for (int index : {0, 3, -1, 100}) {
    form->MDLabel4LinkClicked(index);
    form->MDLabel1LinkClicked(index);
  }
  form->MDLabel1LinkClicked(2); // the support label has one link only
  EXPECT_THAT(bench.shellActions, IsEmpty());
  EXPECT_THAT(bench.dialogs->warnings, IsEmpty());
  // The handlers themselves still work afterwards.
  form->MDLabel4LinkClicked(2);
  form->MDLabel1LinkClicked(1);
  EXPECT_THAT(bench.shellActions, ElementsAre("associate", "open https://rv58led.example/support"));
}

TEST(InfoPageLinks, ClicksOnPlainTextDoNothing) {
  WindowBench bench;
  int listings = 0;
  bench.listPorts = [&listings](bool descriptive) {
    ++listings;
    return descriptive ? std::vector<std::string>{"COM1 - test device"} : std::vector<std::string>{"COM1"};
  };
  auto form = StartOnInfoPage(bench);
  const int listingsAtStart = listings;
  for (const std::u16string_view word : {u"Az", u"A", u".rv5", u"a", u"programhoz"}) {
    const auto point = PlainWordPoint(form->MDLabel4, word);
    ASSERT_TRUE(point) << QString::fromStdU16String(std::u16string(word)).toStdString();
    ClickAt(form->MDLabel4, *point);
  }
  for (const std::u16string_view word : {u"Elérhető", u"soros", u"portok"}) {
    const auto point = PlainWordPoint(form->MDLabel2, word);
    ASSERT_TRUE(point);
    ClickAt(form->MDLabel2, *point);
  }
  EXPECT_THAT(bench.shellActions, IsEmpty());
  EXPECT_EQ(listings, listingsAtStart); // no refresh either
  // A press on one link released on another is no click either.
  const auto first = LinkPoint(form->MDLabel4, 1);
  const auto second = LinkPoint(form->MDLabel4, 2);
  ASSERT_TRUE(first && second);
  QTest::mousePress(form->MDLabel4, Qt::LeftButton, {}, *first);
  QTest::mouseRelease(form->MDLabel4, Qt::LeftButton, {}, *second);
  EXPECT_THAT(bench.shellActions, IsEmpty());
}

} // namespace
} // namespace rv58::test
