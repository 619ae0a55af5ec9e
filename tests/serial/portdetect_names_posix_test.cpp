// The port-name table over this system's device names: the fixed defaults of ttyS, ttyUSB and
// ttyACM devices, and explicit entries and other hardware on a fake device tree.
#include "portdetect_faketree.h"
#include "portnames.h"
#include "unitportdetect.h"

#include <gtest/gtest.h>

namespace rv58 {
namespace {

using test::FakeSystem;

TEST(PortNames, FixedDefaultsDependOnTheDeviceNameOnly) {
  EXPECT_EQ(DefaultPortNumber("/dev/ttyS0"), 1);
  EXPECT_EQ(DefaultPortNumber("/dev/ttyS31"), 32);
  EXPECT_EQ(DefaultPortNumber("/dev/ttyUSB0"), 33);
  EXPECT_EQ(DefaultPortNumber("/dev/ttyUSB31"), 64);
  EXPECT_EQ(DefaultPortNumber("/dev/ttyACM0"), 65);
  EXPECT_EQ(DefaultPortNumber("/dev/ttyACM31"), 96);
  for (const char* other : {"/dev/ttyS32", "/dev/ttyUSB40", "/dev/ttyS01", "/dev/ttyS", "/dev/ttyAMA0",
                            "/dev/rfcomm0", "ttyS0", "/dev/pts/3"})
    EXPECT_EQ(DefaultPortNumber(other), std::nullopt) << other;
  for (int n = 1; n <= 96; ++n)
    EXPECT_EQ(DefaultPortNumber(DefaultDevicePath(n)), n);
  EXPECT_EQ(DefaultDevicePath(97), "");
  EXPECT_EQ(DefaultDevicePath(0), "");
}

class PortNameTableTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* node : {"ttyS0", "ttyS1", "ttyUSB0", "ttyUSB1", "ttyACM0", "ttyAMA0", "rfcomm0",
                             "rfcomm10", "rfcomm2", "pts/4"})
      fake.Node(node);
    fake.Link("dev/serial/by-id/usb-FTDI_A10K1ABC-if00-port0", "dev/ttyUSB1");
  }
  TPortNameTable Table(const TIniPairs& pairs, const std::vector<std::string>& devices) {
    return TPortNameTable(fake.System(), ParseExplicitPorts(pairs), devices);
  }
  FakeSystem fake;
  const std::vector<std::string> hardware = {"/dev/rfcomm10", "/dev/ttyS0",   "/dev/ttyUSB0", "/dev/ttyUSB1",
                                             "/dev/rfcomm2",  "/dev/ttyACM0", "/dev/ttyAMA0"};
};

TEST_F(PortNameTableTest, DefaultsAndOtherHardwareFrom97InNaturalOrder) {
  const auto table = Table({}, hardware);
  EXPECT_EQ(table.NumberOf("/dev/ttyS0"), 1);
  EXPECT_EQ(table.NumberOf("/dev/ttyUSB0"), 33);
  EXPECT_EQ(table.NumberOf("/dev/ttyUSB1"), 34);
  EXPECT_EQ(table.NumberOf("/dev/ttyACM0"), 65);
  EXPECT_EQ(table.NumberOf("/dev/rfcomm2"), 97);
  EXPECT_EQ(table.NumberOf("/dev/rfcomm10"), 98);
  EXPECT_EQ(table.NumberOf("/dev/ttyAMA0"), 99);
  EXPECT_EQ(table.PathOf(99), "/dev/ttyAMA0");
  EXPECT_EQ(table.PathOf(100), "");
  // A fixed number stands for its device even while that device is not there.
  EXPECT_EQ(table.PathOf(2), "/dev/ttyS1");
  EXPECT_EQ(table.PathOf(96), "/dev/ttyACM31");
  EXPECT_EQ(table.PathOf(0), "");
  EXPECT_EQ(table.PathOf(257), "");
  EXPECT_EQ(table.NumberOf("/dev/pts/4"), std::nullopt);
}

TEST_F(PortNameTableTest, AnExplicitEntryOwnsItsNumberAndItsDevice) {
  // COM1 goes to a pseudo-terminal: ttyS0 loses it and joins the others from COM97.
  // COM3 names the adapter by its stable path: ttyUSB1 answers to COM3 only, not to COM34.
  // COM97 and COM98 are taken, so the others start at COM99.
  const auto table = Table({{"COM1", "/dev/pts/4"},
                            {"com3", "/dev/serial/by-id/usb-FTDI_A10K1ABC-if00-port0"},
                            {"COM97", "/dev/missing"},
                            {"COM98", "/dev/ttyS1"}},
                           hardware);
  EXPECT_EQ(table.PathOf(1), "/dev/pts/4");
  EXPECT_EQ(table.NumberOf("/dev/pts/4"), 1);
  EXPECT_EQ(table.PathOf(3), "/dev/serial/by-id/usb-FTDI_A10K1ABC-if00-port0");
  EXPECT_EQ(table.NumberOf("/dev/ttyUSB1"), 3);
  EXPECT_EQ(table.PathOf(34), "");
  EXPECT_EQ(table.PathOf(2), "") << "ttyS1 is named as COM98";
  EXPECT_EQ(table.PathOf(97), "/dev/missing") << "an entry whose device is missing keeps its number";
  EXPECT_EQ(table.NumberOf("/dev/rfcomm2"), 99);
  EXPECT_EQ(table.NumberOf("/dev/rfcomm10"), 100);
  EXPECT_EQ(table.NumberOf("/dev/ttyAMA0"), 101);
  EXPECT_EQ(table.NumberOf("/dev/ttyS0"), 102);
  EXPECT_TRUE(table.IsExplicit(1));
  EXPECT_FALSE(table.IsExplicit(33));
}

TEST_F(PortNameTableTest, TwoEntriesForOneDeviceGiveItOneNumber) {
  const auto table =
      Table({{"COM5", "/dev/serial/by-id/usb-FTDI_A10K1ABC-if00-port0"}, {"COM6", "/dev/ttyUSB1"}}, hardware);
  EXPECT_EQ(table.NumberOf("/dev/ttyUSB1"), 5);
  EXPECT_EQ(table.PathOf(6), "/dev/ttyUSB1") << "the second entry still owns its number";
}

TEST_F(PortNameTableTest, NumbersRunOutAt256) {
  std::vector<std::string> many;
  for (int n = 0; n < 200; ++n) {
    fake.Node("ttyAMA" + std::to_string(n));
    many.push_back("/dev/ttyAMA" + std::to_string(n));
  }
  const auto table = Table({{"COM256", "/dev/pts/4"}}, many);
  EXPECT_EQ(table.NumberOf("/dev/ttyAMA0"), 97);
  EXPECT_EQ(table.NumberOf("/dev/ttyAMA158"), 255);
  EXPECT_EQ(table.NumberOf("/dev/ttyAMA159"), std::nullopt);
  EXPECT_EQ(table.PathOf(256), "/dev/pts/4");
}

TEST_F(PortNameTableTest, NamesOpenWithoutListingPortsButForPoolNumbers) {
  fake.Serial8250Slot(0, 4); // ttyS0
  fake.Node("ttyS0");
  fake.UsbSerial("1-2", "ttyUSB5", "FT232R USB UART", "FTDI");
  fake.Node("ttyUSB5");
  fake.Rfcomm(0, "00:1A:7D:DA:71:13", 1);
  fake.Node("rfcomm0");
  int listings = 0;
  TPortNames names{fake.System(), {}};
  names.system.onTableBuilt = [&listings] { ++listings; };
  EXPECT_EQ(names.DevicePath("/dev/pts/9"), "/dev/pts/9");
  EXPECT_EQ(names.DevicePath("COM0"), "COM0") << "not a port name: used as a path";
  EXPECT_EQ(names.DevicePath("com2"), "/dev/ttyS1");
  EXPECT_EQ(names.DevicePath("COM33"), "/dev/ttyUSB0");
  names.explicitPorts = ParseExplicitPorts({{"COM7", "/dev/pts/9"}, {"COM2", "/dev/ttyUSB5"}});
  EXPECT_EQ(names.DevicePath("COM7"), "/dev/pts/9");
  EXPECT_EQ(names.DevicePath("COM2"), "/dev/ttyUSB5");
  EXPECT_EQ(names.DevicePath("COM38"), "") << "ttyUSB5 is named as COM2";
  EXPECT_EQ(listings, 0) << "explicit and fixed names are read from the name alone";
  EXPECT_EQ(names.DevicePath("COM97"), "/dev/rfcomm0");
  EXPECT_EQ(listings, 1) << "a pool number needs the machine's ports";
  std::vector<std::string> lines;
  ListPorts(names, lines, false);
  EXPECT_EQ(listings, 2);
}

} // namespace
} // namespace rv58
