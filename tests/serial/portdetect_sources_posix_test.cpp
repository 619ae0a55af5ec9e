// The Linux port sources on fake /sys and /dev trees.
#include "portdetect_faketree.h"
#include "portsources.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

namespace rv58 {
namespace {

using test::FakeSystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Found {
  std::string path;
  std::string description;
  bool operator==(const Found&) const = default;
};

std::vector<Found> Flatten(const std::vector<TPortDevice>& devices) {
  std::vector<Found> result;
  for (const auto& d : devices)
    result.push_back({d.path, d.description});
  return result;
}

void PrintTo(const Found& f, std::ostream* os) {
  *os << f.path << " = \"" << f.description << "\"";
}

// A desktop with an on-board UART, three empty 8250 slots, a USB adapter, an Arduino, a bound
// Bluetooth port and the usual virtual ttys.
void TypicalMachine(FakeSystem& fake) {
  fake.OnBoardUart(0, 4);
  for (int line = 1; line <= 3; ++line)
    fake.Serial8250Slot(line, 0);
  fake.UsbSerial("1-2", "ttyUSB0", "FT232R USB UART", "FTDI");
  fake.UsbAcm("1-3", "ttyACM0", "Arduino Uno", "Arduino (www.arduino.cc)");
  fake.Rfcomm(0, "00:1A:7D:DA:71:13", 1);
  for (const char* name : {"console", "ptmx", "tty", "tty0", "tty1"})
    fake.VirtualTty(name);
}

TEST(SysfsSource, ListsRealHardwareWithDescriptionsAndLeavesOutPhantomsAndVirtualTtys) {
  FakeSystem fake;
  TypicalMachine(fake);
  bool readable = false;
  const auto devices = ListHardwarePorts(fake.System(), &readable);
  EXPECT_TRUE(readable);
  EXPECT_THAT(
      Flatten(devices),
      ElementsAre(Found{"/dev/rfcomm0", "Bluetooth RFCOMM 00:1A:7D:DA:71:13 (channel 1) /dev/rfcomm0"},
                  Found{"/dev/ttyACM0", "Arduino Uno (Arduino (www.arduino.cc)) /dev/ttyACM0"},
                  Found{"/dev/ttyS0", "16550A UART (serial) /dev/ttyS0"},
                  Found{"/dev/ttyUSB0", "FT232R USB UART (FTDI) /dev/ttyUSB0"}));
}

TEST(SysfsSource, DetailsForThePortDetailsView) {
  FakeSystem fake;
  TypicalMachine(fake);
  fake.File("sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/serial", "A10K1ABC\n");
  const auto devices = ListHardwarePorts(fake.System());
  ASSERT_EQ(devices.size(), 4u);
  const auto& usb = devices[3];
  EXPECT_EQ(usb.driver, "ftdi_sio");
  EXPECT_EQ(usb.usbVendorId + ":" + usb.usbProductId, "0403:6001");
  EXPECT_EQ(usb.usbProduct, "FT232R USB UART");
  EXPECT_EQ(usb.usbManufacturer, "FTDI");
  EXPECT_EQ(usb.usbSerial, "A10K1ABC");
  EXPECT_EQ(devices[1].driver, "cdc_acm");
  EXPECT_EQ(devices[2].driver, "serial") << "the hardware's driver, not the serial-base port's";
  EXPECT_EQ(devices[2].usbVendorId, "");
}

TEST(SysfsSource, PhantomsAreToldByTypeOnOldAndNewLayoutsAlike) {
  // Before 2023 the tty hung off the serial8250 platform device; a real UART there (a SoC's
  // console port) must stay, whatever the bus or the driver says.
  FakeSystem oldKernel;
  oldKernel.OldSerial8250Slot(0, 4);
  oldKernel.OldSerial8250Slot(1, 0);
  oldKernel.OldSerial8250Slot(2, 0);
  EXPECT_THAT(Flatten(ListHardwarePorts(oldKernel.System())),
              ElementsAre(Found{"/dev/ttyS0", "16550A UART (serial8250) /dev/ttyS0"}));

  FakeSystem newKernel;
  newKernel.Serial8250Slot(0, 0);
  newKernel.Serial8250Slot(1, 14);
  newKernel.Serial8250Slot(10, 0);
  EXPECT_THAT(Flatten(ListHardwarePorts(newKernel.System())),
              ElementsAre(Found{"/dev/ttyS1", "NS16550A UART (serial8250) /dev/ttyS1"}));
}

TEST(SysfsSource, UnreadableTypeKeepsThePortWithoutOpeningIt) {
  FakeSystem fake;
  fake.OnBoardUart(0, 4);
  // A type attribute that cannot be read (a folder stands in for a 0440 file of older kernels).
  for (int line : {1, 2, 3}) {
    fake.Serial8250Slot(line, std::nullopt);
    fake.Dir("sys/devices/platform/serial8250/serial8250:0/serial8250:0." + std::to_string(line) +
             "/tty/ttyS" + std::to_string(line) + "/type");
    fake.Node("ttyS" + std::to_string(line));
  }
  // Opening a real UART to ask its type can move its lines; any open of a node shows here.
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, (fake.Root() + "/dev").c_str(), IN_OPEN), 0);

  const auto devices = ListHardwarePorts(fake.System());
  ASSERT_EQ(devices.size(), 4u);
  EXPECT_EQ(devices[1].description, "serial8250 /dev/ttyS1");
  char events[4096];
  EXPECT_LT(::read(watch, events, sizeof events), 0) << "a device node was opened";
  ::close(watch);
}

TEST(SysfsSource, UsbDescriptionsWithoutStringsAndWithForeignCharacters) {
  FakeSystem fake;
  fake.UsbSerial("1-1", "ttyUSB0", "", "", "067b", "2303");
  // UTF-8 in the device's strings becomes Windows-1250; a line break must not split the line.
  fake.UsbSerial("1-4", "ttyUSB1", "Soros \xC3\xA1talak\xC3\xADt\xC3\xB3 \xE2\x82\xAC\xE2\x98\x83",
                 "M\xC3\xA9r\xC5\x91\nKft");
  EXPECT_THAT(
      Flatten(ListHardwarePorts(fake.System())),
      ElementsAre(Found{"/dev/ttyUSB0", "USB 067b:2303 /dev/ttyUSB0"},
                  Found{"/dev/ttyUSB1", "Soros \xE1talak\xEDt\xF3 \x80? (M\xE9r\xF5 Kft) /dev/ttyUSB1"}));
}

TEST(SysfsSource, DevnameOfTheUeventNamesTheNodeAndNaturalOrderSortsNumbers) {
  FakeSystem fake;
  for (int n : {10, 2, 1})
    fake.UsbSerial("1-" + std::to_string(n), "ttyUSB" + std::to_string(n), "Adapter", "");
  // A driver that puts its nodes in a folder below /dev.
  const std::string dev = "sys/devices/platform/ser.0";
  fake.Device(dev, "platform", "mxser");
  const std::string tty = fake.Tty(dev, "ttyMX0");
  fake.File(tty + "/uevent", "MAJOR=174\nMINOR=0\nDEVNAME=mx/ttyMX0\n");
  const auto devices = ListHardwarePorts(fake.System());
  std::vector<std::string> paths;
  for (const auto& d : devices)
    paths.push_back(d.path);
  EXPECT_THAT(paths, ElementsAre("/dev/mx/ttyMX0", "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB10"));
  EXPECT_EQ(devices[0].description, "mxser /dev/mx/ttyMX0");
}

TEST(SysfsSource, MissingClassFolderIsReportedUnreadable) {
  FakeSystem fake;
  std::filesystem::remove_all(fake.Root() + "/sys");
  bool readable = true;
  EXPECT_THAT(ListHardwarePorts(fake.System(), &readable), IsEmpty());
  EXPECT_FALSE(readable);
}

TEST(DeviceNodeSource, TakesTheThreeFamiliesOnlyInNaturalOrder) {
  FakeSystem fake;
  for (const char* name : {"ttyS10", "ttyS2", "ttyUSB0", "ttyACM1", "tty0", "ttyS", "ttySX", "ttyUSB0x",
                           "ttyAMA0", "console", "rfcomm0"})
    fake.Node(name);
  fake.Dir("dev/ttyS3"); // a folder is no device
  fake.RawLink("dev/ttyS4", "ttyS2");
  auto sys = fake.System();
  std::vector<Found> expected = {{"/dev/ttyACM1", "/dev/ttyACM1"},
                                 {"/dev/ttyS2", "/dev/ttyS2"},
                                 {"/dev/ttyS4", "/dev/ttyS4"},
                                 {"/dev/ttyS10", "/dev/ttyS10"},
                                 {"/dev/ttyUSB0", "/dev/ttyUSB0"}};
  EXPECT_EQ(Flatten(ListDeviceNodes(sys)), expected);

  sys.requireCharDevices = true; // the program's setting: plain files are not devices
  EXPECT_THAT(ListDeviceNodes(sys), IsEmpty());
}

TEST(ResolvePath, FollowsLinksInsideTheRoot) {
  FakeSystem fake;
  fake.Node("ttyUSB0");
  fake.Link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1ABC-if00-port0", "dev/ttyUSB0");
  fake.RawLink("dev/absolute", "/dev/ttyUSB0"); // must not escape to the machine's /dev
  fake.RawLink("dev/loop1", "loop2");
  fake.RawLink("dev/loop2", "loop1");
  fake.RawLink("dev/dangling", "ttyUSB9");
  const std::string& root = fake.Root();
  EXPECT_EQ(ResolvePath(root, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1ABC-if00-port0"),
            "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePath(root, "/dev/absolute"), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePath(root, "/dev/./serial/../ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePath(root, "/dev/loop1"), std::nullopt);
  EXPECT_EQ(ResolvePath(root, "/dev/dangling"), std::nullopt);
  EXPECT_EQ(ResolvePath(root, "/dev/ttyUSB0/x"), std::nullopt);
  EXPECT_EQ(ResolvePath(root, ""), std::nullopt);
  EXPECT_EQ(ResolvePath(root + "/", "/dev/ttyUSB0"), "/dev/ttyUSB0");
}

TEST(NaturalLess, NumbersCompareByValue) {
  EXPECT_TRUE(NaturalLess("ttyUSB2", "ttyUSB10"));
  EXPECT_FALSE(NaturalLess("ttyUSB10", "ttyUSB2"));
  EXPECT_TRUE(NaturalLess("rfcomm0", "ttyAMA0"));
  EXPECT_TRUE(NaturalLess("ttyS", "ttyS0"));
  EXPECT_FALSE(NaturalLess("ttyS1", "ttyS1"));
  EXPECT_NE(NaturalLess("ttyS01", "ttyS1"), NaturalLess("ttyS1", "ttyS01")); // still a strict order
}

} // namespace
} // namespace rv58
