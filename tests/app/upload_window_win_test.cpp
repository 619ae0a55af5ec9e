// The window's upload through Windows' own serial device: a port the system does not have is
// reported with the window's warning, and the settings are still kept. (The bytes on a port are
// checked from outside, tests/windows/wine_window_test.py, where a pseudo-terminal stands in.)
#include "testutil_window.h"

#include "inifile.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace rv58::test {
namespace {

TEST(UploadWindowWin, APortTheSystemDoesNotHaveIsReportedAndTheSettingsAreStillKept) {
  WindowBench bench;
  // No Wine prefix of the tests maps this port to a device.
  bench.ports = {"COM250"};
  bench.deviceOpener = OpenComDevice;
  auto form = bench.Start();
  form->Comport_up->setCurrentIndex(0);
  ASSERT_EQ(form->Comport_up->currentText(), "COM250");
  form->ht->setText(QStringLiteral("NOPORT"));
  QTest::keyClick(form.get(), Qt::Key_F9);
  EXPECT_EQ(bench.dialogs->warnings,
            std::vector<QString>{QString::fromUtf8("A soros port nem nyitaható meg !\r\r")});
  EXPECT_EQ(TIniFile(bench.PrefsFile()).ReadString("RV5", "ht", ""), "NOPORT");
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace rv58::test
