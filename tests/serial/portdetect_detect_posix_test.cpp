// DetectPorts and ListPorts: the sources in their order of preference, the table, the lines.
#include "ComPort.h"
#include "portdetect_faketree.h"
#include "unitportdetect.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace rv58 {
namespace {

using test::FakeSystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class DetectTest : public ::testing::Test {
protected:
  void Machine() {
    fake.OnBoardUart(0, 4);
    for (int line = 1; line <= 3; ++line)
      fake.Serial8250Slot(line, 0);
    fake.UsbSerial("1-2", "ttyUSB0", "FT232R USB UART", "FTDI");
    fake.UsbAcm("1-3", "ttyACM0", "Arduino Uno", "Arduino SA");
    fake.Rfcomm(0, "00:1A:7D:DA:71:13", 1);
    fake.VirtualTty("tty0");
    for (const char* node : {"ttyS0", "ttyS1", "ttyS2", "ttyS3", "ttyUSB0", "ttyACM0", "rfcomm0", "pts/4"})
      fake.Node(node);
    fake.Link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1ABC-if00-port0", "dev/ttyUSB0");
  }

  std::vector<std::string> List(const TIniPairs& pairs, bool descriptive) {
    std::vector<std::string> lines = {"left over"};
    ListPorts({fake.System(), ParseExplicitPorts(pairs)}, lines, descriptive, table);
    return lines;
  }

  FakeSystem fake;
  std::array<TDetectedPort, kMaxPortNumber> table;
};

TEST_F(DetectTest, ListsHardwareUnderItsNamesInAscendingOrder) {
  Machine();
  EXPECT_THAT(List({}, false), ElementsAre("COM1", "COM33", "COM65", "COM97"));
  EXPECT_THAT(List({}, true),
              ElementsAre("COM1 - 16550A UART (serial) /dev/ttyS0",
                          "COM33 - FT232R USB UART (FTDI) /dev/ttyUSB0",
                          "COM65 - Arduino Uno (Arduino SA) /dev/ttyACM0",
                          "COM97 - Bluetooth RFCOMM 00:1A:7D:DA:71:13 (channel 1) /dev/rfcomm0"));
}

TEST_F(DetectTest, ExplicitEntriesJoinTheListAndTakeTheirNumbers) {
  Machine();
  const TIniPairs pairs = {
      {"com1", "/dev/pts/4"},                                                     // takes COM1 from ttyS0
      {"COM3", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1ABC-if00-port0"}, // the adapter, once
      {"COM9", "/dev/serial/by-id/usb-unplugged"},                                // not there: not listed
      {"COM0", "/dev/pts/4"},
      {"COM257", "/dev/pts/4"},
      {"COMX", "/dev/pts/4"},
      {"COM256", "/dev/pts/4"}, // a second name for the pty: owns COM256 but is not listed
  };
  EXPECT_THAT(List(pairs, true),
              ElementsAre("COM1 - /dev/pts/4",
                          // the devices source describes it first; its description wins
                          "COM3 - FT232R USB UART (FTDI) /dev/ttyUSB0",
                          "COM65 - Arduino Uno (Arduino SA) /dev/ttyACM0",
                          "COM97 - Bluetooth RFCOMM 00:1A:7D:DA:71:13 (channel 1) /dev/rfcomm0",
                          "COM98 - 16550A UART (serial) /dev/ttyS0"));
}

TEST_F(DetectTest, Com256IsListedLast) {
  Machine();
  EXPECT_THAT(List({{"COM256", "/dev/pts/4"}, {"COM255", "/dev/ttyS0"}}, false),
              ElementsAre("COM33", "COM65", "COM97", "COM255", "COM256"));
}

TEST_F(DetectTest, MaxIndexBoundsTheNumbersAndTheClearing) {
  Machine();
  for (auto& entry : table)
    entry.Description = "stale";
  EXPECT_TRUE(DetectPorts({fake.System(), {}}, table, 31));
  EXPECT_EQ(table[0].Description, "16550A UART (serial) /dev/ttyS0");
  for (int i = 1; i < 32; ++i)
    EXPECT_EQ(table[static_cast<std::size_t>(i)].Description, "") << i;
  EXPECT_EQ(table[32].Description, "stale") << "entries above MaxIndex are not the caller's table";

  // A MaxIndex beyond the table is capped instead of writing past its end.
  std::array<TDetectedPort, 40> small;
  EXPECT_TRUE(DetectPorts({fake.System(), {}}, small, 255));
  EXPECT_EQ(small[32].Description, "FT232R USB UART (FTDI) /dev/ttyUSB0");
  EXPECT_FALSE(DetectPorts({fake.System(), {}}, std::span<TDetectedPort>(), 255));
}

TEST_F(DetectTest, WithoutSysfsTheDeviceNodesAreListed) {
  // A container: no /sys, only device nodes (phantoms cannot be told apart there).
  std::filesystem::remove_all(fake.Root() + "/sys");
  for (const char* node : {"ttyS0", "ttyS1", "ttyUSB0", "ttyACM3", "ttyAMA0"})
    fake.Node(node);
  fake.Node("ttyS40"); // no fixed number: COM97
  EXPECT_THAT(List({}, true), ElementsAre("COM1 - /dev/ttyS0", "COM2 - /dev/ttyS1", "COM33 - /dev/ttyUSB0",
                                          "COM68 - /dev/ttyACM3", "COM97 - /dev/ttyS40"));
  // Every listed name opens the node it was listed for.
  const TPortNames portNames{fake.System(), {}};
  std::vector<std::string> names;
  ListPorts(portNames, names, false);
  std::vector<std::string> opened;
  TComPort port(THandOff(), [&opened](const std::string& path, std::string& error) -> TComDevicePtr {
    opened.push_back(path);
    error = "not opened in this test";
    return nullptr;
  });
  port.PortNames = portNames;
  for (const auto& name : names) {
    port.Port = name;
    port.Open();
  }
  EXPECT_THAT(opened, ElementsAre("/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0", "/dev/ttyACM3", "/dev/ttyS40"));
  // An explicit entry that exists is a find, so the nodes are not asked.
  fake.Node("pts/4");
  EXPECT_THAT(List({{"COM7", "/dev/pts/4"}}, true), ElementsAre("COM7 - /dev/pts/4"));
  // One that does not exist is not; the nodes are asked and the owned number stays free.
  EXPECT_THAT(List({{"COM2", "/dev/pts/99"}}, false),
              ElementsAre("COM1", "COM33", "COM68", "COM97", "COM98"));
}

TEST_F(DetectTest, HardwareFoundMeansTheNodesAreNotAsked) {
  fake.UsbSerial("1-2", "ttyUSB0", "FT232R USB UART", "FTDI");
  for (const char* node : {"ttyS0", "ttyS1", "ttyS2", "ttyS3"})
    fake.Node(node);
  EXPECT_THAT(List({}, false), ElementsAre("COM33"));
}

TEST_F(DetectTest, NoPortsGiveEmptyListsAndFalse) {
  // A laptop without a UART: the 8250 driver's empty slots, and their device nodes.
  fake.VirtualTty("tty0");
  for (int line = 0; line < 4; ++line) {
    fake.Serial8250Slot(line, 0);
    fake.Node("ttyS" + std::to_string(line));
  }
  EXPECT_THAT(List({}, false), IsEmpty());
  EXPECT_THAT(List({}, true), IsEmpty());
  EXPECT_FALSE(DetectPorts({fake.System(), {}}, table, 255));
}

} // namespace
} // namespace rv58
