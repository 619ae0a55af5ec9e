// The port lists follow the device events without a click: an adapter that comes, goes and comes
// back under another name, on a fake device tree with a fake event source.
#include "infopage_labels.h"
#include "portdetails.h"
#include "portdetect_faketree.h"
#include "testutil_window.h"
#include "unitportdetect.h"

#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <array>
#include <filesystem>

#include <gtest/gtest.h>

namespace rv58::test {
namespace {

class FollowPorts : public ::testing::Test {
protected:
  FollowPorts() {
    bench.listPorts = [this](bool descriptive) {
      std::vector<std::string> lines;
      ListPorts({fake.System(), {}}, lines, descriptive, table);
      return lines;
    };
    bench.portEvents = events.Factory();
    fake.OnBoardUart(0, 4);
    fake.OnBoardUart(1, 4);
    form = StartOnInfoPage(bench);
  }

  // The events of one change, as an adapter brings several, and the lists once they followed.
  void Change(const std::function<void()>& change) {
    change();
    QSignalSpy followed(form.get(), &Trvform::PortsChanged);
    for (int i = 0; i < 4; ++i)
      events.Fire();
    ASSERT_TRUE(followed.wait(3000)) << "the lists did not follow";
    QTest::qWait(50);
    EXPECT_EQ(followed.count(), 1) << "one adapter, one listing";
  }
  void Plug(const std::string& busPort, const std::string& tty) {
    Change([&] { fake.UsbSerial(busPort, tty, "FT232R USB UART", "FTDI"); });
  }
  void Unplug(const std::string& tty) {
    Change([&] { std::filesystem::remove(std::filesystem::path(fake.Root()) / "sys/class/tty" / tty); });
  }
  QStringList MemoPorts() const {
    QStringList ports;
    for (const QString& line : form->Memo1->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
      ports << line.section(QLatin1Char(' '), 0, 0);
    return ports;
  }

  FakeSystem fake;
  std::array<TDetectedPort, kMaxPortNumber> table{};
  FakePortEvents events;
  WindowBench bench;
  std::unique_ptr<Trvform> form;
};

TEST_F(FollowPorts, AnAdapterComesGoesAndComesBackUnderAnotherNameTheChosenPortStays) {
  ASSERT_TRUE(events.Started());
  EXPECT_TRUE(form->FollowsPorts());
  ASSERT_EQ(Items(form->Comport_up), QStringList({"COM1", "COM2"}));
  form->Comport_up->setCurrentIndex(0); // the user's choice

  struct Step {
    const char* what;
    std::function<void()> change;
    const char* choose; // what the user picks before the change, or nothing
    QStringList items;
    QString chosen;
    QStringList memo;
  };
  const Step steps[] = {
      {"plugged in: listed, not chosen",
       [this] { Plug("1-2", "ttyUSB0"); },
       nullptr,
       {"COM1", "COM2", "COM33"},
       "COM1",
       {"COM1", "COM2", "COM33"}},
      {"the chosen adapter pulled out: its name stays",
       [this] { Unplug("ttyUSB0"); },
       "COM33",
       {"COM1", "COM2", "COM33"},
       "COM33",
       {"COM1", "COM2"}},
      {"back in another socket, another name",
       [this] { Plug("1-3", "ttyUSB1"); },
       nullptr,
       {"COM1", "COM2", "COM33", "COM34"},
       "COM33",
       {"COM1", "COM2", "COM34"}},
      {"another choice: the gone name leaves",
       [this] { Change([] {}); },
       "COM34",
       {"COM1", "COM2", "COM34"},
       "COM34",
       {"COM1", "COM2", "COM34"}},
      {"a port on the board goes",
       [this] { Unplug("ttyS0"); },
       nullptr,
       {"COM2", "COM34"},
       "COM34",
       {"COM2", "COM34"}},
      {"without a choice, a new port is not chosen",
       [this] { Plug("1-4", "ttyUSB2"); },
       "",
       {"COM2", "COM34", "COM35"},
       "",
       {"COM2", "COM34", "COM35"}},
  };
  for (const Step& step : steps) {
    if (step.choose) // "" for none
      form->Comport_up->setCurrentIndex(form->Comport_up->findText(QString::fromLatin1(step.choose)));
    step.change();
    EXPECT_EQ(Items(form->Comport_up), step.items) << step.what;
    EXPECT_EQ(form->Comport_up->currentText(), step.chosen) << step.what;
    EXPECT_EQ(MemoPorts(), step.memo) << step.what;
  }
  EXPECT_TRUE(bench.shellActions.empty()); // nothing clicked
}

TEST_F(FollowPorts, AGonePortStaysChosenSoAnUploadSaysItCannotBeOpened) {
  Plug("1-2", "ttyUSB0");
  form->Comport_up->setCurrentIndex(form->Comport_up->findText("COM33"));
  Unplug("ttyUSB0");
  ASSERT_EQ(form->Comport_up->currentText(), "COM33");
  QTest::mouseClick(form->alapbutton, Qt::LeftButton);
  QTest::keyClick(form.get(), Qt::Key_F9);
  EXPECT_EQ(bench.dialogs->warnings,
            std::vector<QString>{QString::fromUtf8("A soros port nem nyitaható meg !\r\r")});
}

TEST_F(FollowPorts, ThePortDetailsWindowFollowsToo) {
  TPortDetailsWindow* details =
      ShowPortDetails(form.get(), [this] { return CollectPortDetails(fake.System(), {}, TPortUser{}); });
  ASSERT_EQ(details->Table()->rowCount(), 2);
  Plug("1-2", "ttyUSB0");
  EXPECT_EQ(details->Table()->rowCount(), 3);
  EXPECT_EQ(details->Table()->item(2, 0)->text(), "COM33");
  details->close();
}

} // namespace
} // namespace rv58::test
