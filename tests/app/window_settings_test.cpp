// Editing the settings: defaults, ">", the error text filter, the settings file dialogs and the
// conversion between the controls and the core's settings.
#include "testutil_window.h"

#include "windowcontrols.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace rv58::test {
namespace {

TEST(WindowSettings, DefaultsCommandKeepsThePortAndWritesNothing) {
  WindowBench bench;
  auto form = bench.Start();
  form->Comport_up->setCurrentIndex(1);
  form->bd->setCurrentIndex(0);
  form->tm->setCurrentIndex(44);
  form->ht->setText("X");
  form->au->setChecked(false);
  form->nm->setChecked(true);
  form->leiras->setPlainText("valami");
  form->merlegnev->setText("Other");
  form->verziogroup->SetItemIndex(0);
  form->ora->SetItemIndex(3);
  QTest::mouseClick(form->alapbutton, Qt::LeftButton);
  EXPECT_EQ(form->Comport_up->currentText(), "COM3");
  EXPECT_EQ(form->bd->currentIndex(), 5);
  EXPECT_EQ(form->pr->currentIndex(), 3);
  EXPECT_EQ(form->tm->currentIndex(), 13);
  EXPECT_EQ(form->kr->currentIndex(), 13);
  EXPECT_EQ(form->hk->currentIndex(), 114);
  EXPECT_EQ(form->ht->text(), "ERROR");
  EXPECT_TRUE(form->au->isChecked());
  EXPECT_FALSE(form->nm->isChecked());
  EXPECT_TRUE(form->leiras->toPlainText().isEmpty());
  EXPECT_EQ(form->merlegnev->text(), QString::fromUtf8("Mérleg"));
  EXPECT_EQ(form->verziogroup->ItemIndex(), 1);
  EXPECT_EQ(form->ora->ItemIndex(), 0);
  EXPECT_FALSE(bench.Exists("rv58led.ini"));
  EXPECT_TRUE(bench.dialogs->warnings.empty());
}

TEST(WindowSettings, CopyButtonWithNothingChosenChoosesNothing) {
  WindowBench bench;
  auto form = bench.Create();
  form->kr->setCurrentIndex(20);
  QTest::mouseClick(form->Button1, Qt::LeftButton);
  EXPECT_EQ(form->kr->currentIndex(), -1);
  form->tm->setCurrentIndex(44);
  QTest::mouseClick(form->Button1, Qt::LeftButton);
  EXPECT_EQ(form->kr->currentText(), ",");
}

TEST(WindowSettings, ErrorTextTypingCapitalisesSwallowsCommasAndStopsAtSix) {
  WindowBench bench;
  auto form = bench.Create();
  form->ht->clear();
  QTest::keyClicks(form->ht, "a<b,c>1"); // "<" and ">" would open or end the display's frame
  EXPECT_EQ(form->ht->text(), "ABC1");
  QTest::keyClicks(form->ht, "xyz");
  EXPECT_EQ(form->ht->text(), "ABC1XY");
  // Text that arrives otherwise is not filtered.
  form->ht->setText("a,b");
  EXPECT_EQ(form->ht->text(), "a,b");
  EXPECT_EQ(form->ReadSettings().ht(), "a,b");
}

TEST(WindowSettings, OutOfRangeIndicesChooseNothingAndRadioGroupsClamp) {
  WindowBench bench;
  auto form = bench.Create();
  form->tm->setCurrentIndex(127);
  EXPECT_EQ(form->tm->currentIndex(), -1);
  form->ora->SetItemIndex(9);
  EXPECT_EQ(form->ora->ItemIndex(), 3);
  form->ora->SetItemIndex(-5);
  EXPECT_EQ(form->ora->ItemIndex(), -1);
}

TEST(WindowSettings, TextsCrossTheBoundaryInWindows1250) {
  WindowBench bench;
  auto form = bench.Create();
  form->merlegnev->setText(QString::fromUtf8("Mérleg ő ж"));
  form->leiras->setPlainText(QString::fromUtf8("első\nmásodik"));
  const DisplaySettings s = form->ReadSettings();
  EXPECT_EQ(s.merlegnev(), "M\xe9rleg \xf5 ?") << "outside the code page becomes ?";
  EXPECT_EQ(s.leiras(), "els\xf5\r\nm\xe1sodik\r\n");

  DisplaySettings back = s;
  back.SetMerlegnev("\xc1rv\xedzt\xfbr\xf5");
  form->WriteSettings(back);
  EXPECT_EQ(form->merlegnev->text(), QString::fromUtf8("Árvíztűrő"));
  EXPECT_EQ(form->ReadSettings(), back);

  // Every character of the code page (the non-breaking space too) and empty lines at the end of
  // the description come back exactly, so load -> upload -> load keeps the bytes.
  std::string every;
  for (int b = 0x20; b <= 0xFF; ++b)
    every.push_back(static_cast<char>(b));
  for (const std::string& leiras :
       {std::string("a\r\n\r\n"), std::string("\r\n"), std::string("\xA0x\xA0\r\n"), every + "\r\n"}) {
    back.SetLeiras(leiras);
    back.SetMerlegnev(every);
    form->WriteSettings(back);
    EXPECT_EQ(form->ReadSettings(), back) << leiras;
  }
}

TEST(WindowSettings, SaveThroughTheDialogWritesTheFileAndRemembersTheFolder) {
  WindowBench bench;
  auto form = bench.Start();
  QDir(bench.dir.path()).mkdir("out");
  const QString target = QString::fromStdString(bench.Path("out/scale.rv5"));
  bench.dialogs->answers.push_back(target);
  QTest::mouseClick(form->mentbutton, Qt::LeftButton);
  ASSERT_EQ(bench.dialogs->saveRequests.size(), 1U);
  EXPECT_EQ(bench.dialogs->saveRequests[0].startFolder, QString::fromStdString(bench.Path("home") + "/"));
  EXPECT_EQ(bench.dialogs->saveRequests[0].filter, QString::fromUtf8("RV5 beállítások ( *.rv5)"));
  EXPECT_EQ(bench.dialogs->saveRequests[0].defaultSuffix, "rv5");
  const std::string saved = bench.ReadFile("out/scale.rv5");
  EXPECT_EQ(saved.rfind("[RV5]\r\nbd=5\r\npr=3\r\ntm=13\r\n", 0), 0U) << saved;
  EXPECT_NE(saved.find("port=COM1\r\nnm=0\r\n"), std::string::npos) << saved;
  EXPECT_NE(bench.ReadFile("rv58led.ini").find("lastsavedir=" + bench.Path("out") + "/"), std::string::npos);

  // The next dialog starts in the remembered folder.
  bench.dialogs->answers.push_back(std::nullopt);
  QTest::mouseClick(form->mentbutton, Qt::LeftButton);
  EXPECT_EQ(bench.dialogs->saveRequests[1].startFolder, QString::fromStdString(bench.Path("out") + "/"));
}

TEST(WindowSettings, OpenThroughTheDialogLoadsAndRemembersTheFolder) {
  WindowBench bench;
  auto form = bench.Start();
  QDir(bench.dir.path()).mkdir("in");
  bench.WriteFile("in/other.rv5", "[RV5]\r\nbd=abc\r\nhk=0x41\r\nnev=Silo\r\nport=com33\r\n");
  bench.dialogs->answers.push_back(QString::fromStdString(bench.Path("in/other.rv5")));
  QTest::mouseClick(form->megnyitbutton, Qt::LeftButton);
  ASSERT_EQ(bench.dialogs->openRequests.size(), 1U);
  EXPECT_EQ(form->merlegnev->text(), "Silo");
  EXPECT_EQ(form->bd->currentIndex(), 5);
  EXPECT_EQ(form->hk->currentText(), "A");
  EXPECT_EQ(form->Comport_up->currentText(), "COM33");
  EXPECT_NE(bench.ReadFile("rv58led.ini").find("lastopendir=" + bench.Path("in") + "/"), std::string::npos);
}

TEST(WindowSettings, CancellingEitherDialogChangesNothing) {
  WindowBench bench;
  auto form = bench.Start();
  form->merlegnev->setText("Kept");
  const DisplaySettings before = form->ReadSettings();
  bench.dialogs->answers = {std::nullopt, std::nullopt};
  QTest::mouseClick(form->megnyitbutton, Qt::LeftButton);
  QTest::mouseClick(form->mentbutton, Qt::LeftButton);
  EXPECT_EQ(bench.dialogs->openRequests.size(), 1U);
  EXPECT_EQ(bench.dialogs->saveRequests.size(), 1U);
  EXPECT_EQ(form->ReadSettings(), before);
  EXPECT_FALSE(bench.Exists("rv58led.ini"));
}

TEST(WindowSettings, FailedSaveIsReportedAndRemembersNoFolder) {
  WindowBench bench;
  auto form = bench.Start();
  bench.dialogs->answers.push_back(QString::fromStdString(bench.Path("gone/scale.rv5")));
  QTest::mouseClick(form->mentbutton, Qt::LeftButton);
  ASSERT_EQ(bench.dialogs->warnings.size(), 1U);
  EXPECT_EQ(bench.dialogs->warnings[0], QString::fromUtf8("A fájl nem menthető !\r\r"));
  EXPECT_FALSE(bench.Exists("rv58led.ini"));
}

TEST(WindowSettings, TypingLimitsNeverCutStoredText) {
  WindowBench bench;
  auto form = bench.Create();
  form->leiras->setFocus();
  form->leiras->setPlainText(QString(250, QLatin1Char('a')));
  form->leiras->moveCursor(QTextCursor::End);
  QTest::keyClicks(form->leiras, "bcdefgh");
  EXPECT_EQ(form->leiras->toPlainText(), QString(250, QLatin1Char('a')) + "bcde");

  // A stored description of 300 and a name of 200 characters are shown whole; an edit removes
  // only what the user removed and may not make them longer.
  QString stored;
  for (int i = 0; i < 300; ++i)
    stored += QChar(u'a' + i % 26);
  DisplaySettings s = form->ReadSettings();
  s.SetLeiras(stored.toStdString());
  s.SetMerlegnev(stored.left(200).toStdString());
  form->WriteSettings(s);
  EXPECT_EQ(form->merlegnev->text(), stored.left(200));
  QTextCursor cursor = form->leiras->textCursor();
  cursor.setPosition(10);
  form->leiras->setTextCursor(cursor);
  QTest::keyClick(form->leiras, Qt::Key_Backspace);
  QTest::keyClicks(form->leiras, "xy");
  const QString edited = stored.left(9) + stored.mid(10) + "\n";
  EXPECT_EQ(form->leiras->toPlainText(), edited);
  form->merlegnev->setFocus();
  form->merlegnev->setCursorPosition(5);
  QTest::keyClick(form->merlegnev, Qt::Key_Backspace);
  QTest::keyClicks(form->merlegnev, "xy");
  EXPECT_EQ(form->merlegnev->text(), stored.left(4) + stored.mid(5, 195));
  EXPECT_EQ(form->ReadSettings().leiras(), (stored.left(9) + stored.mid(10)).toStdString() + "\r\n");
}

} // namespace
} // namespace rv58::test
