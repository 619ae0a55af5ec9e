// Start-up order, the deferred start-up, the command line and the stored window position.
#include "testutil_window.h"

#include "appsetup.h"
#include "navtree.h"
#include "windowcontrols.h"

#include "pagecontrol.h"
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTranslator>

#include <cctype>
#include <string>

#include <gtest/gtest.h>

namespace rv58::test {
namespace {

// "[RV5]" settings that differ from the defaults in every field the checks look at.
std::string SettingsFile(const std::string& name, const std::string& port, int bd) {
  return "[RV5]\r\nbd=" + std::to_string(bd) +
         "\r\npr=7\r\ntm=10\r\nkr=65\r\nhk=33\r\nht=HIBA\r\nnev=" + name + "\r\nve=0\r\nport=" + port +
         "\r\ncomment=els\xf5\xa1^m\xe1sodik\xa1^\r\n";
}

TEST(WindowStartup, FreshFolderOpensAtDesignedPlaceOnPageZeroWithListsUnchosenUntilLoaded) {
  WindowBench bench;
  auto form = bench.Create();
  EXPECT_EQ(form->objectName(), "rvform");
  EXPECT_EQ(form->windowTitle(), "RV58Set");
  // The designed 348, 157 and 981 pixels do not fit the 800 x 800 test screen.
  EXPECT_EQ(form->geometry(), QRect(0, 157, 800, 605));
  EXPECT_EQ(form->page1->currentIndex(), 0);
  EXPECT_EQ(form->page1->count(), 12);
  for (QComboBox* list : {form->tm, form->kr, form->hk}) {
    EXPECT_EQ(list->count(), 127);
    EXPECT_EQ(list->currentIndex(), -1) << list->objectName().toStdString();
  }
  EXPECT_EQ(form->tm->itemText(13), "#13 (CR)");
  EXPECT_EQ(form->hk->itemText(114), "r");
  EXPECT_EQ(form->Comport_up->count(), 0) << "creation must not touch the ports";
  EXPECT_EQ(form->merlegnev->text(), QString::fromUtf8("Mérleg"));
  EXPECT_EQ(form->bd->currentText(), "9600");
  EXPECT_EQ(form->pr->currentText(), "8N1");
  EXPECT_EQ(form->verziogroup->ItemIndex(), 1);
  EXPECT_FALSE(form->DeferredStartupDone());

  form->show();
  Settle();
  ASSERT_TRUE(form->DeferredStartupDone());
  // Nothing stored yet: the load gives every default, and COM1 is there.
  EXPECT_EQ(form->tm->currentIndex(), 13);
  EXPECT_EQ(form->kr->currentIndex(), 13);
  EXPECT_EQ(form->hk->currentIndex(), 114);
  EXPECT_EQ(form->Comport_up->currentText(), "COM1");
  EXPECT_EQ(form->Memo1->toPlainText(), "COM1 - test device\nCOM3 - test device\nCOM33 - test device");
  EXPECT_FALSE(bench.Exists("rv58led.ini")) << "start-up writes nothing";
}

TEST(WindowStartup, NoPortComOneGivesNoChoiceAlthoughTheFillChoseTheLast) {
  WindowBench bench;
  bench.ports = {"COM3", "COM7"};
  auto form = bench.Start();
  EXPECT_EQ(form->Comport_up->count(), 2);
  EXPECT_EQ(form->Comport_up->currentIndex(), -1);
}

TEST(WindowStartup, StoredLastUploadComesBackWithoutArguments) {
  WindowBench bench;
  bench.WriteFile("rv58led.ini", SettingsFile("Tart\xe1ly", "com3", 3));
  auto form = bench.Start();
  EXPECT_EQ(form->merlegnev->text(), QString::fromUtf8("Tartály"));
  EXPECT_EQ(form->bd->currentText(), "2400");
  EXPECT_EQ(form->pr->currentIndex(), 7);
  EXPECT_EQ(form->tm->currentIndex(), 10);
  EXPECT_EQ(form->kr->currentText(), "A");
  EXPECT_EQ(form->ht->text(), "HIBA");
  EXPECT_EQ(form->verziogroup->ItemIndex(), 0);
  EXPECT_EQ(form->Comport_up->currentText(), "COM3") << "the list's own spelling is chosen";
  // Each stored line break is shown, the one that ends the last line too.
  EXPECT_EQ(form->leiras->toPlainText(), QString::fromUtf8("első\nmásodik\n"));
}

TEST(WindowStartup, SettingsFileArgumentWinsAndThePreferencesAreNotRead) {
  WindowBench bench;
  bench.WriteFile("rv58led.ini", SettingsFile("Preferences", "COM1", 3));
  bench.WriteFile("scale.rv5", SettingsFile("Argument", "COM33", 7));
  auto form = bench.Start({QString::fromStdString(bench.Path("scale.rv5"))});
  EXPECT_EQ(form->merlegnev->text(), "Argument");
  EXPECT_EQ(form->bd->currentText(), "19200");
  EXPECT_EQ(form->Comport_up->currentText(), "COM33");
}

TEST(WindowStartup, OnlyTheFirstOfTwoArgumentsCounts) {
  WindowBench bench;
  bench.WriteFile("a.rv5", SettingsFile("First", "COM1", 3));
  bench.WriteFile("b.rv5", SettingsFile("Second", "COM3", 7));
  auto form =
      bench.Start({QString::fromStdString(bench.Path("a.rv5")), QString::fromStdString(bench.Path("b.rv5"))});
  EXPECT_EQ(form->merlegnev->text(), "First");
}

TEST(WindowStartup, FolderOrMissingFileAsArgumentLoadsNothing) {
  for (const std::string& arg : {std::string("sub"), std::string("missing.rv5")}) {
    WindowBench bench;
    QDir(bench.dir.path()).mkdir("sub");
    bench.WriteFile("rv58led.ini", SettingsFile("Preferences", "COM1", 3));
    auto form = bench.Start({QString::fromStdString(bench.Path(arg))});
    EXPECT_EQ(form->merlegnev->text(), QString::fromUtf8("Mérleg")) << arg;
    EXPECT_EQ(form->tm->currentIndex(), -1) << arg;
    EXPECT_EQ(form->bd->currentText(), "9600") << arg;
    EXPECT_EQ(form->Comport_up->currentText(), "COM33") << arg << ": the fill's choice stays";
  }
}

TEST(WindowStartup, DeferredStartupRunsOnceEvenWhenShownAgain) {
  WindowBench bench;
  auto form = bench.Start();
  form->merlegnev->setText("Edited");
  form->Comport_up->setCurrentIndex(1);
  form->hide();
  form->show();
  Settle();
  EXPECT_EQ(form->merlegnev->text(), "Edited");
  EXPECT_EQ(form->Comport_up->currentText(), "COM3");
}

struct FormPosCase {
  std::string stored;
  QRect expected; // left, top, width, height
};

class WindowFormPos : public ::testing::TestWithParam<FormPosCase> {};

TEST_P(WindowFormPos, StoredPositionIsAppliedPieceByPiece) {
  WindowBench bench;
  bench.WriteFile("rv58led.ini", "[FormPos]\r\nrvform=" + GetParam().stored + "\r\n");
  auto form = bench.Create();
  EXPECT_EQ(form->geometry(), GetParam().expected) << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowFormPos,
    ::testing::Values(FormPosCase{"760;600;10;20", QRect(20, 10, 760, 600)},
                      FormPosCase{"600;500;10;20", QRect(20, 10, 750, 550)},     // minimum size
                      FormPosCase{"760;abc;10;20", QRect(40, 157, 760, 605)},    // stops at the bad piece
                      FormPosCase{"760;;600;;10;20", QRect(20, 10, 760, 600)},   // empty pieces dropped
                      FormPosCase{"", QRect(0, 157, 800, 605)},                  // designed place, cut
                      FormPosCase{"780;650;-5000;-9000", QRect(0, 0, 780, 650)}, // off every screen
                      // Touching the screen: moved the least that brings it whole onto it.
                      FormPosCase{"780;650;-600;-700", QRect(0, 0, 780, 650)},
                      FormPosCase{"760;600;300;30", QRect(30, 200, 760, 600)},
                      // Beyond the 800 x 800 test screen: cut to it, not below the minimum.
                      FormPosCase{"2147483647;2147483647;0;0", QRect(0, 0, 800, 800)},
                      FormPosCase{"65535;600;10;20", QRect(0, 10, 800, 600)},
                      FormPosCase{"-5;-2147483648;-2147483648;-2147483648", QRect(0, 0, 750, 550)},
                      FormPosCase{"900;900;2147483647;2147483647", QRect(0, 0, 800, 800)}),
    // The stored value as the case's name: "800;abc;10;20" is 800_abc_10_20, a minus sign an m.
    [](const ::testing::TestParamInfo<FormPosCase>& info) {
      std::string name;
      for (const char c : info.param.stored)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : c == '-' ? 'm' : '_';
      return name.empty() ? std::string("empty") : name;
    });

// Every text the user sees is Hungarian, Qt's own too; panels show the program's icon.
TEST(WindowStartup, TheApplicationHasItsIconDesktopNameAndQtsTextsInHungarian) {
  QTranslator* translation = SetUpApplication();
  ASSERT_NE(translation, nullptr) << "qt6-translations-l10n is missing";
  EXPECT_EQ(QGuiApplication::desktopFileName(), "rv58led");
  EXPECT_TRUE(QGuiApplication::windowIcon().availableSizes().contains(QSize(256, 256)));
  EXPECT_FALSE(QGuiApplication::windowIcon().pixmap(32, 32).isNull());
  QLineEdit edit;
  const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
  QStringList texts;
  for (const QAction* action : menu->actions()) {
    texts << action->text();
  }
  QMessageBox box(QMessageBox::Warning, "Üzenet", "x", QMessageBox::Ok | QMessageBox::Cancel);
  texts << box.button(QMessageBox::Cancel)->text();
  const QString shown = texts.join('|');
  for (const char* english : {"&Undo", "Cu&t", "&Paste", "Select All", "Cancel"}) {
    EXPECT_FALSE(shown.contains(english)) << shown.toStdString();
  }
  EXPECT_TRUE(shown.contains(QString::fromUtf8("|&Beillesztés\t"))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith(QString::fromUtf8("|Mégse"))) << shown.toStdString();
  QCoreApplication::removeTranslator(translation);
}

TEST(WindowStartup, DestroyingTheWindowStoresItsBounds) {
  WindowBench bench;
  {
    auto form = bench.Start();
    form->setGeometry(30, 40, 820, 610);
    form->CloseButtonClick();
    Settle();
    EXPECT_FALSE(form->isVisible());
  }
  EXPECT_NE(bench.ReadFile("rv58led.ini").find("[FormPos]\r\nrvform=820;610;40;30\r\n"), std::string::npos)
      << bench.ReadFile("rv58led.ini");
}

TEST(WindowStartup, UnwritablePreferencesAtTheEndAreIgnored) {
  WindowBench bench;
  TrvformEnvironment env;
  env.preferencesFile = bench.Path("no-such-folder/rv58led.ini");
  env.arguments = {QStringLiteral("rv58led")};
  env.listPorts = [](bool) { return std::vector<std::string>{}; };
  env.dialogs = bench.dialogs;
  auto form = std::make_unique<Trvform>(std::move(env));
  EXPECT_FALSE(form->WriteFormPos());
  form.reset(); // must not throw or show anything
  EXPECT_TRUE(bench.dialogs->warnings.empty());
}

} // namespace
} // namespace rv58::test

namespace rv58::test {
namespace {

TEST(WindowInfoPage, RefreshLinkRefillsBothListsAndChoosesTheHighestPort) {
  WindowBench bench;
  auto form = bench.Start();
  form->Comport_up->setCurrentIndex(0);
  bench.ports = {"COM1", "COM3", "COM33", "COM40"};
  form->MDLabel2LinkClicked(1);
  EXPECT_EQ(form->Comport_up->count(), 4);
  EXPECT_EQ(form->Comport_up->currentText(), "COM40");
  EXPECT_TRUE(form->Memo1->toPlainText().endsWith("COM40 - test device"));
  bench.ports.clear();
  form->MDLabel2LinkClicked(1);
  EXPECT_EQ(form->Comport_up->count(), 0);
  EXPECT_EQ(form->Comport_up->currentIndex(), -1);
  EXPECT_TRUE(form->Memo1->toPlainText().isEmpty());
}

} // namespace
} // namespace rv58::test
