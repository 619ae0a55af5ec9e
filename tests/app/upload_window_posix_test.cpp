// The window's upload and display test in this process on a pseudo-terminal display: F9, the
// menu and the buttons, the checks, the bytes and their speed, the copy in the preferences file,
// no second transmission while one runs.
#include "testutil_window.h"

#include "testutil_ptydisplay.h"

#include "inifile.h"

#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>

#include <termios.h>

namespace rv58::test {
namespace {

using namespace std::chrono_literals;

const std::string kDefaultMessage = "<,9600,3,13,13,0,0,0,0,0,114,ERROR,1,0,0,>";
const QString kCommaWarning = QString::fromUtf8("A \",\" karakter nem használható a beállítások között.\r\r");
const QString kPortWarning = QString::fromUtf8("A soros port nem nyitaható meg !\r\r");

// A window whose COM7 is a pseudo-terminal display, with the default settings and COM7 chosen.
class UploadWindow : public ::testing::Test {
protected:
  void SetUp() override {
    bench_.ports = {"COM1", "COM7"};
    bench_.WriteFile("rv58led.ini", "[Ports]\r\nCOM7=" + display_.SlavePath() + "\r\n");
    prefsBefore_ = bench_.ReadFile("rv58led.ini");
    form_ = bench_.Start();
    QTest::mouseClick(form_->alapbutton, Qt::LeftButton);
    form_->Comport_up->setCurrentIndex(form_->Comport_up->findText("COM7"));
    ASSERT_EQ(form_->Comport_up->currentText(), "COM7");
  }

  std::string Stored(const char* key) const {
    return TIniFile(bench_.PrefsFile()).ReadString("RV5", key, "<none>");
  }
  speed_t Speed() const {
    const termios t = display_.LineSettings();
    return cfgetospeed(&t);
  }

  TPtyDisplay display_;
  WindowBench bench_;
  std::string prefsBefore_;
  std::unique_ptr<Trvform> form_;
};

TEST_F(UploadWindow, F9SendsThePreambleAndTheDefaultMessageAt9600AndKeepsTheSettings) {
  form_->ht->setText(QStringLiteral("HIBA"));
  form_->merlegnev->setText(QString::fromUtf8("Tartály mérleg"));
  form_->activateWindow();
  form_->ht->setFocus();
  QTest::keyClick(form_->ht, Qt::Key_F9);
  EXPECT_EQ(display_.WaitQuiet(50ms), "<><,9600,3,13,13,0,0,0,0,0,114,HIBA,1,0,0,>");
  const termios t = display_.LineSettings();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
  EXPECT_TRUE(bench_.dialogs->warnings.empty());
  // The section "RV5" now holds what the window showed.
  EXPECT_EQ(Stored("ht"), "HIBA");
  EXPECT_EQ(Stored("nev"), "Tart\xE1ly m\xE9rleg");
  EXPECT_EQ(Stored("port"), "COM7");
  EXPECT_EQ(Stored("ve"), "1");
  EXPECT_EQ(Stored("bd"), "5");
  // The explicit port names stay as they were.
  EXPECT_EQ(TIniFile(bench_.PrefsFile()).ReadString("Ports", "COM7", ""), display_.SlavePath());
  // Buttons and cursor are back.
  EXPECT_TRUE(form_->FeltoltesButton->isEnabled());
  EXPECT_TRUE(form_->KijelzotesztButton->isEnabled());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(UploadWindow, FirstDisplayVersionUploadsAt2400) {
  form_->verziogroup->SetItemIndex(0);
  form_->valami1->trigger();
  EXPECT_EQ(display_.WaitQuiet(50ms), "<>" + kDefaultMessage);
  EXPECT_EQ(Speed(), static_cast<speed_t>(B2400));
  EXPECT_EQ(Stored("ve"), "0");
}

TEST_F(UploadWindow, DisplayTestSendsItsMessageAndLeavesThePreferencesAlone) {
  QTest::mouseClick(form_->KijelzotesztButton, Qt::LeftButton);
  EXPECT_EQ(display_.WaitQuiet(50ms), "<><,<<>");
  EXPECT_EQ(Speed(), static_cast<speed_t>(B9600));
  EXPECT_EQ(bench_.ReadFile("rv58led.ini"), prefsBefore_);
  // With the old display it goes at 2400.
  form_->verziogroup->SetItemIndex(0);
  QTest::mouseClick(form_->KijelzotesztButton, Qt::LeftButton);
  EXPECT_EQ(display_.WaitQuiet(50ms), "<><,<<><><,<<>");
  EXPECT_EQ(Speed(), static_cast<speed_t>(B2400));
  EXPECT_EQ(bench_.ReadFile("rv58led.ini"), prefsBefore_);
  EXPECT_TRUE(bench_.dialogs->warnings.empty());
}

TEST_F(UploadWindow, CommaInTheMessageIsRefusedBeforeThePortIsTouched) {
  const auto tryUpload = [&](const std::function<void()>& change) {
    QTest::mouseClick(form_->alapbutton, Qt::LeftButton);
    change();
    bench_.dialogs->warnings.clear();
    QTest::mouseClick(form_->FeltoltesButton, Qt::LeftButton);
    EXPECT_EQ(bench_.dialogs->warnings, std::vector<QString>{kCommaWarning});
  };
  tryUpload([&] { form_->tm->setCurrentIndex(44); });
  tryUpload([&] { form_->kr->setCurrentIndex(44); });
  // Typing filters the comma; pasting or a file does not.
  tryUpload([&] { form_->ht->setText(QStringLiteral("E,RR")); });
  EXPECT_EQ(display_.WaitQuiet(50ms), "");
  EXPECT_EQ(bench_.ReadFile("rv58led.ini"), prefsBefore_);
  // As error character the comma is just the code 44.
  QTest::mouseClick(form_->alapbutton, Qt::LeftButton);
  form_->hk->setCurrentIndex(44);
  QTest::mouseClick(form_->FeltoltesButton, Qt::LeftButton);
  EXPECT_EQ(display_.WaitQuiet(50ms), "<><,9600,3,13,13,0,0,0,0,0,44,ERROR,1,0,0,>");
}

TEST_F(UploadWindow, APortThatCannotBeOpenedIsReportedAndTheSettingsAreStillKept) {
  // COM1 is refused here (no real port is ever opened by these tests).
  form_->Comport_up->setCurrentIndex(form_->Comport_up->findText("COM1"));
  form_->ht->setText(QStringLiteral("NOPORT"));
  QTest::keyClick(form_.get(), Qt::Key_F9);
  EXPECT_EQ(bench_.dialogs->warnings, std::vector<QString>{kPortWarning});
  EXPECT_EQ(Stored("ht"), "NOPORT");
  EXPECT_EQ(Stored("port"), "COM1");
  // No port chosen at all.
  bench_.dialogs->warnings.clear();
  form_->Comport_up->setCurrentIndex(-1);
  QTest::mouseClick(form_->KijelzotesztButton, Qt::LeftButton);
  EXPECT_EQ(bench_.dialogs->warnings, std::vector<QString>{kPortWarning});
  EXPECT_EQ(display_.WaitQuiet(50ms), "");
  EXPECT_TRUE(form_->FeltoltesButton->isEnabled());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  // The port is free again: an upload to COM7 goes through.
  form_->Comport_up->setCurrentIndex(form_->Comport_up->findText("COM7"));
  QTest::keyClick(form_.get(), Qt::Key_F9);
  EXPECT_EQ(display_.WaitQuiet(50ms), "<><,9600,3,13,13,0,0,0,0,0,114,NOPORT,1,0,0,>");
}

TEST_F(UploadWindow, ADisplayThatHangsUpMidTransmissionIsReportedAndTheSettingsAreStillKept) {
  display_.HangUpAfter(2); // the master closes after "<>"
  form_->ht->setText(QStringLiteral("HUP"));
  QTest::keyClick(form_.get(), Qt::Key_F9);
  EXPECT_EQ(bench_.dialogs->warnings,
            std::vector<QString>{QString::fromUtf8("Az adatküldés nem sikerült !\r\r")});
  EXPECT_EQ(Stored("ht"), "HUP");
  EXPECT_TRUE(form_->FeltoltesButton->isEnabled());
}

TEST_F(UploadWindow, NoSecondTransmissionWhileOneRuns) {
  bool buttonsWereDisabled = false, hourglass = false, fired = false;
  // Runs inside the first transmission, where it lets the window handle pending events.
  QTimer::singleShot(0, form_.get(), [&] {
    fired = true;
    buttonsWereDisabled = !form_->FeltoltesButton->isEnabled() && !form_->KijelzotesztButton->isEnabled();
    hourglass =
        QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
    QTest::keyClick(form_.get(), Qt::Key_F9);
    form_->valami1->trigger();
    form_->FeltoltesButtonClick();
    form_->KijelzotesztButtonClick();
  });
  form_->valami1->trigger();
  EXPECT_TRUE(fired);
  EXPECT_TRUE(buttonsWereDisabled);
  EXPECT_TRUE(hourglass);
  EXPECT_EQ(display_.WaitQuiet(100ms), "<>" + kDefaultMessage);
  EXPECT_EQ(form_->FeltoltesRuns(), 1);
  EXPECT_EQ(form_->KijelzotesztRuns(), 0);
  // Afterwards the commands work again.
  form_->valami1->trigger();
  EXPECT_EQ(display_.WaitQuiet(50ms), "<>" + kDefaultMessage + "<>" + kDefaultMessage);
}

} // namespace
} // namespace rv58::test
