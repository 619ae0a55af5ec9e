// The port-details window: which devices it lists with which details, and the access verdict
// with the group to join.
#include "portdetails.h"

#include "portdetect_faketree.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTableWidget>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace rv58;

TEST(PortAccess, OwnerGroupAndOthersFollowTheModeBits) {
  const TPortUser user{1000, {1000, 20}};
  // Member of the device's group.
  EXPECT_TRUE(NodeAccess(0, 20, 0660, user).canOpen);
  // Not a member: the group would let the user in.
  TNodeAccess a = NodeAccess(0, 21, 0660, user);
  EXPECT_FALSE(a.canOpen);
  EXPECT_TRUE(a.groupWouldHelp);
  EXPECT_EQ(a.group, 21u);
  // A group that may only read would not help.
  a = NodeAccess(0, 21, 0640, user);
  EXPECT_FALSE(a.canOpen);
  EXPECT_FALSE(a.groupWouldHelp);
  // The owner's bits alone decide for the owner, whatever the group may do.
  EXPECT_TRUE(NodeAccess(1000, 21, 0600, user).canOpen);
  a = NodeAccess(1000, 20, 0460, user);
  EXPECT_FALSE(a.canOpen);
  EXPECT_FALSE(a.groupWouldHelp);
  // Everybody may.
  EXPECT_TRUE(NodeAccess(0, 21, 0666, user).canOpen);
  // Root may always.
  EXPECT_TRUE(NodeAccess(5, 21, 0000, TPortUser{0, {0}}).canOpen);
}

class PortDetailsTree : public ::testing::Test {
protected:
  void SetUp() override {
    fake.OnBoardUart(0, 4);
    fake.Serial8250Slot(3, 0); // a phantom slot: not a device
    fake.UsbSerial("1-2", "ttyUSB0", "FT232R USB UART", "FTDI");
    fake.File("sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/serial", "A10K1ABC\n");
    fake.Node("ttyS0");
    fake.Node("ttyUSB0");
    fake.File("dev/pts/4", "");
    for (const char* node : {"dev/ttyS0", "dev/ttyUSB0", "dev/pts/4"})
      ::chmod((fake.Root() + "/" + node).c_str(), 0660);
    ::chmod((fake.Root() + "/dev/pts/4").c_str(), 0620);
    nodeGroup = ::getegid();
  }
  std::string GroupName(gid_t g) const { return g == nodeGroup ? "dialout" : "g" + std::to_string(g); }
  std::vector<TPortDetail> Collect(const TPortUser& user) {
    return CollectPortDetails(fake.System(), {{7, "/dev/pts/4"}}, user,
                              [this](gid_t g) { return GroupName(g); });
  }

  test::FakeSystem fake;
  gid_t nodeGroup = 0;
  // Someone who owns none of the nodes and is not in their group.
  TPortUser stranger{::geteuid() + 4242, {::getegid() + 4242}};
};

TEST_F(PortDetailsTree, ListsEveryDeviceWithItsDetailsInPortOrder) {
  const auto rows = Collect(stranger);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].comName, "COM1");
  EXPECT_EQ(rows[0].devicePath, "/dev/ttyS0");
  EXPECT_EQ(rows[1].comName, "COM7");
  EXPECT_EQ(rows[1].devicePath, "/dev/pts/4");
  EXPECT_EQ(rows[2].comName, "COM33");
  EXPECT_EQ(rows[2].devicePath, "/dev/ttyUSB0");
  EXPECT_EQ(rows[2].driver, "ftdi_sio");
  EXPECT_EQ(rows[2].manufacturer, "FTDI");
  EXPECT_EQ(rows[2].product, "FT232R USB UART");
  EXPECT_EQ(rows[2].serialNumber, "A10K1ABC");
  EXPECT_TRUE(rows[2].exists);
}

TEST_F(PortDetailsTree, TellsWhichGroupToJoin) {
  auto rows = Collect(stranger);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_FALSE(rows[0].canOpen);
  EXPECT_EQ(rows[0].joinGroup, "dialout");
  EXPECT_FALSE(rows[1].canOpen);
  EXPECT_EQ(rows[1].joinGroup, "") << "the group of this node may only write";

  TPortUser member = stranger;
  member.groups.push_back(nodeGroup);
  rows = Collect(member);
  EXPECT_TRUE(rows[0].canOpen);
  EXPECT_TRUE(rows[2].canOpen);
  EXPECT_EQ(rows[0].joinGroup, "");
}

TEST_F(PortDetailsTree, AMissingDeviceNodeIsShownAsSuch) {
  std::filesystem::remove(fake.Root() + "/dev/ttyUSB0");
  const auto rows = Collect(stranger);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_FALSE(rows[2].exists);
  EXPECT_FALSE(rows[2].canOpen);
}

TEST(PortDetailsWindow, ShowsTheRowsAndTheHint) {
  TPortDetailsWindow w;
  TPortDetail usb;
  usb.comName = "COM33";
  usb.devicePath = "/dev/ttyUSB0";
  usb.driver = "ftdi_sio";
  usb.manufacturer = "M\xe9rlegt\xe1r Kft."; // Windows-1250 bytes
  usb.product = "FT232R USB UART";
  usb.serialNumber = "A10K1ABC";
  usb.canOpen = false;
  usb.joinGroup = "dialout";
  TPortDetail pty;
  pty.comName = "COM7";
  pty.devicePath = "/dev/pts/4";
  pty.canOpen = true;
  TPortDetail busy; // another program holds it
  busy.comName = "COM3";
  busy.busy = true;
  w.SetSource([&] { return std::vector<TPortDetail>{pty, usb, busy}; });

  QTableWidget* t = w.Table();
  ASSERT_EQ(t->rowCount(), 3);
  ASSERT_EQ(t->columnCount(), 7);
  EXPECT_EQ(t->horizontalHeaderItem(1)->text(), QString("Eszköz"));
  EXPECT_EQ(t->item(0, 0)->text(), QString("COM7"));
  EXPECT_EQ(t->item(0, 6)->text(), QString("igen"));
  EXPECT_EQ(t->item(1, 1)->text(), QString("/dev/ttyUSB0"));
  EXPECT_EQ(t->item(1, 2)->text(), QString("ftdi_sio"));
  EXPECT_EQ(t->item(1, 3)->text(), QString("Mérlegtár Kft."));
  EXPECT_EQ(t->item(1, 5)->text(), QString("A10K1ABC"));
  EXPECT_EQ(t->item(1, 6)->text(), QString("nem: lépjen be a(z) „dialout” csoportba"));
  EXPECT_EQ(t->item(2, 6)->text(), QString("nem: más program használja"));
  EXPECT_TRUE(w.Hint()->text().contains("usermod -aG dialout"));

  w.SetSource([] { return std::vector<TPortDetail>{}; });
  EXPECT_EQ(t->rowCount(), 0);
  EXPECT_EQ(w.Hint()->text(), QString("Nem található soros port."));
  w.SetLastOpenFailure("COM7 (/dev/pts/4): foglalt, egy másik program használja");
  w.Refresh();
  EXPECT_EQ(w.Hint()->text(),
            QString("Legutóbb nem nyitható meg: COM7 (/dev/pts/4): foglalt, egy másik program "
                    "használja\nNem található soros port."));
}

TEST(PortDetailsWindow, OpensOnceAndCloses) {
  QWidget owner;
  int reads = 0;
  const auto source = [&] {
    ++reads;
    return std::vector<TPortDetail>(static_cast<std::size_t>(reads), TPortDetail{});
  };
  QPointer<TPortDetailsWindow> first = ShowPortDetails(&owner, source);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->isVisible());
  EXPECT_EQ(first->Table()->rowCount(), 1);
  EXPECT_EQ(ShowPortDetails(&owner, source), first) << "a second click brings the same window forward";
  EXPECT_EQ(first->Table()->rowCount(), 2) << "and reads the ports again";
  first->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull()) << "a closed window is freed";
}

} // namespace

// Each test program of this folder brings its own main; weak, so that a shared one wins.
__attribute__((weak)) int main(int argc, char** argv) {
  // Headless, also when the build lists the tests.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
