// The "frissítés" link: the port lists read again from a fake system after a device came or went.
#include "infopage_labels.h"
#include "portdetect_faketree.h"
#include "testutil_window.h"
#include "unitportdetect.h"

#include <QGuiApplication>
#include <QTest>

#include <array>
#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace rv58::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class InfoPageRefresh : public ::testing::Test {
protected:
  InfoPageRefresh() {
    bench.listPorts = [this](bool descriptive) {
      // The hourglass is up while the ports are listed.
      const QCursor* cursor = QGuiApplication::overrideCursor();
      cursorsWhileListing.push_back(cursor != nullptr ? cursor->shape() : Qt::BlankCursor);
      std::vector<std::string> lines{"left over"};
      ListPorts({fake.System(), {}}, lines, descriptive, table);
      return lines;
    };
  }

  void Refresh(Trvform& form) {
    const auto point = LinkPoint(form.MDLabel2, 1);
    ASSERT_TRUE(point);
    cursorsWhileListing.clear();
    ClickAt(form.MDLabel2, *point);
    EXPECT_THAT(cursorsWhileListing, ElementsAre(Qt::WaitCursor, Qt::WaitCursor));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); // the normal cursor again
  }

  void Unplug(const std::string& ttyName) {
    std::filesystem::remove(std::filesystem::path(fake.Root()) / "sys/class/tty" / ttyName);
  }

  FakeSystem fake;
  std::array<TDetectedPort, kMaxPortNumber> table{};
  std::vector<Qt::CursorShape> cursorsWhileListing;
  WindowBench bench;
};

TEST_F(InfoPageRefresh, PluggedInAdapterJoinsBothListsAndTheHighestPortIsChosen) {
  fake.OnBoardUart(0, 4);
  fake.OnBoardUart(1, 4);
  auto form = StartOnInfoPage(bench);
  ASSERT_EQ(Items(form->Comport_up), QStringList({"COM1", "COM2"}));
  form->Comport_up->setCurrentIndex(0); // the user picked another port meanwhile

  fake.UsbSerial("1-2", "ttyUSB0", "FT232R USB UART", "FTDI");
  Refresh(*form);

  EXPECT_EQ(Items(form->Comport_up), QStringList({"COM1", "COM2", "COM33"}));
  EXPECT_EQ(form->Comport_up->currentText(), "COM33");
  EXPECT_EQ(form->Memo1->toPlainText(), "COM1 - 16550A UART (serial) /dev/ttyS0\n"
                                        "COM2 - 16550A UART (serial) /dev/ttyS1\n"
                                        "COM33 - FT232R USB UART (FTDI) /dev/ttyUSB0");
}

TEST_F(InfoPageRefresh, ListingAgainWithoutChangeStillChoosesTheLastPort) {
  fake.OnBoardUart(0, 4);
  fake.UsbAcm("1-3", "ttyACM0", "Arduino Uno", "Arduino SA");
  auto form = StartOnInfoPage(bench);
  form->Comport_up->setCurrentIndex(0);
  Refresh(*form);
  EXPECT_EQ(Items(form->Comport_up), QStringList({"COM1", "COM65"}));
  EXPECT_EQ(form->Comport_up->currentIndex(), 1);
  EXPECT_EQ(form->Memo1->toPlainText().split(QLatin1Char('\n')).size(), 2);
}

TEST_F(InfoPageRefresh, UnpluggedChosenPortLeavesBothLists) {
  fake.OnBoardUart(0, 4);
  fake.UsbSerial("1-2", "ttyUSB0", "FT232R USB UART", "FTDI");
  auto form = StartOnInfoPage(bench);
  form->Comport_up->setCurrentIndex(form->Comport_up->findText(QStringLiteral("COM33")));
  ASSERT_EQ(form->Comport_up->currentText(), "COM33");

  Unplug("ttyUSB0");
  Refresh(*form);
  EXPECT_EQ(Items(form->Comport_up), QStringList({"COM1"}));
  EXPECT_EQ(form->Comport_up->currentText(), "COM1");
  EXPECT_EQ(form->Memo1->toPlainText(), "COM1 - 16550A UART (serial) /dev/ttyS0");
}

TEST_F(InfoPageRefresh, NoPortsLeavesBothListsEmptyWithoutSelection) {
  fake.OnBoardUart(0, 4);
  auto form = StartOnInfoPage(bench);
  ASSERT_EQ(form->Comport_up->count(), 1);

  Unplug("ttyS0");
  // What stays: the 8250 driver's empty slots and their device nodes, which are no ports.
  for (int line = 0; line < 4; ++line) {
    fake.Serial8250Slot(line, 0);
    fake.Node("ttyS" + std::to_string(line));
  }
  Refresh(*form);
  EXPECT_EQ(form->Comport_up->count(), 0);
  EXPECT_EQ(form->Comport_up->currentIndex(), -1);
  EXPECT_TRUE(form->Memo1->toPlainText().isEmpty());
  EXPECT_THAT(bench.shellActions, IsEmpty());
}

} // namespace
} // namespace rv58::test
