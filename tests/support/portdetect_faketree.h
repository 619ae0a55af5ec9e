#pragma once

// A fake /sys and /dev in a temporary folder, laid out with the kernel's own symbolic links, for
// the port sources to read instead of the machine's.

#include "portsources.h"
#include "testutil_tempdir.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace rv58::test {

class FakeSystem {
public:
  FakeSystem() : root_(folder_.Path().string()) {
    Dir("sys/class/tty");
    Dir("sys/devices");
    Dir("dev");
  }
  FakeSystem(const FakeSystem&) = delete;
  FakeSystem& operator=(const FakeSystem&) = delete;

  const std::string& Root() const { return root_; }

  // The system the sources see: plain files count as device nodes.
  TPortSystem System() const {
    TPortSystem sys;
    sys.root = root_;
    sys.requireCharDevices = false;
    return sys;
  }

  void Dir(const std::string& rel) { std::filesystem::create_directories(Path(rel)); }

  void File(const std::string& rel, const std::string& content) {
    std::filesystem::create_directories(Path(rel).parent_path());
    std::ofstream(Path(rel), std::ios::binary) << content;
  }

  // A link at `rel` to `targetRel` (both below the root), written relative as sysfs writes it.
  void Link(const std::string& rel, const std::string& targetRel) {
    const std::filesystem::path link = std::filesystem::path("/") / rel;
    const std::filesystem::path target = std::filesystem::path("/") / targetRel;
    RawLink(rel, target.lexically_relative(link.parent_path()).string());
  }

  // A link with exactly this target text (absolute targets included).
  void RawLink(const std::string& rel, const std::string& target) {
    if (std::filesystem::is_symlink(Path(rel)))
      return; // a device shared by several ports is laid out once
    std::filesystem::create_directories(Path(rel).parent_path());
    std::filesystem::create_symlink(target, Path(rel));
  }

  // A sysfs device folder with its subsystem and, when given, driver links.
  void Device(const std::string& dev, const std::string& subsystem, const std::string& driver = "",
              bool subsystemIsClass = false) {
    Dir(dev);
    const std::string sub = (subsystemIsClass ? "sys/class/" : "sys/bus/") + subsystem;
    Dir(sub);
    Link(dev + "/subsystem", sub);
    if (!driver.empty()) {
      Dir(sub + "/drivers/" + driver);
      Link(dev + "/driver", sub + "/drivers/" + driver);
    }
  }

  // The tty class device of `name` below the device folder `dev`, and its /sys/class/tty entry.
  // `type` set: a serial-core port with that UART type.
  std::string Tty(const std::string& dev, const std::string& name, std::optional<int> type = std::nullopt,
                  const std::string& subdir = "tty") {
    const std::string tty = dev + (subdir.empty() ? "" : "/" + subdir) + "/" + name;
    File(tty + "/uevent", "MAJOR=4\nMINOR=64\nDEVNAME=" + name + "\n");
    File(tty + "/dev", "4:64\n");
    if (type)
      File(tty + "/type", std::to_string(*type) + "\n");
    Link(tty + "/device", dev);
    Link(tty + "/subsystem", "sys/class/tty");
    Link("sys/class/tty/" + name, tty);
    return tty;
  }

  // A UART on the board (ACPI PNP0501), as kernels since 2023 lay it out: the serial-base
  // controller and port devices sit between the tty and the hardware.
  void OnBoardUart(int line, int type) {
    const std::string pnp = "sys/devices/pnp0/00:0" + std::to_string(line);
    Device(pnp, "pnp", "serial");
    File(pnp + "/id", "PNP0501\n");
    const std::string ctrl = pnp + "/00:0" + std::to_string(line) + ":0";
    Device(ctrl, "serial-base", "ctrl");
    const std::string port = ctrl + "/00:0" + std::to_string(line) + ":0.0";
    Device(port, "serial-base", "port");
    Tty(port, "ttyS" + std::to_string(line), type);
  }

  // A slot of the 8250 platform device (type 0 when no UART answers), new layout.
  void Serial8250Slot(int line, std::optional<int> type) {
    const std::string platform = "sys/devices/platform/serial8250";
    Device(platform, "platform", "serial8250");
    const std::string ctrl = platform + "/serial8250:0";
    Device(ctrl, "serial-base", "ctrl");
    const std::string port = ctrl + "/serial8250:0." + std::to_string(line);
    Device(port, "serial-base", "port");
    Tty(port, "ttyS" + std::to_string(line), type);
  }

  // The same slot as kernels before 2023 lay it out: the tty hangs off the platform device.
  void OldSerial8250Slot(int line, int type) {
    const std::string platform = "sys/devices/platform/serial8250";
    Device(platform, "platform", "serial8250");
    Tty(platform, "ttyS" + std::to_string(line), type);
  }

  // A USB device with the given strings; returns its folder.
  std::string UsbDevice(const std::string& busPort, const std::string& vid, const std::string& pid,
                        const std::string& product, const std::string& maker) {
    const std::string usb = "sys/devices/pci0000:00/0000:00:14.0/usb1/" + busPort;
    Device(usb, "usb", "usb");
    File(usb + "/idVendor", vid + "\n");
    File(usb + "/idProduct", pid + "\n");
    File(usb + "/busnum", "1\n");
    if (!product.empty())
      File(usb + "/product", product + "\n");
    if (!maker.empty())
      File(usb + "/manufacturer", maker + "\n");
    return usb;
  }

  // A USB serial adapter (usb-serial port device between interface and tty).
  void UsbSerial(const std::string& busPort, const std::string& name, const std::string& product,
                 const std::string& maker, const std::string& vid = "0403", const std::string& pid = "6001") {
    const std::string usb = UsbDevice(busPort, vid, pid, product, maker);
    const std::string intf = usb + "/" + busPort + ":1.0";
    Device(intf, "usb", "ftdi_sio");
    const std::string port = intf + "/" + name;
    Device(port, "usb-serial", "ftdi_sio");
    Tty(port, name);
  }

  // A CDC ACM modem: the tty hangs off the USB interface.
  void UsbAcm(const std::string& busPort, const std::string& name, const std::string& product,
              const std::string& maker) {
    const std::string usb = UsbDevice(busPort, "2341", "0043", product, maker);
    const std::string intf = usb + "/" + busPort + ":1.0";
    Device(intf, "usb", "cdc_acm");
    Tty(intf, name);
  }

  // A bound Bluetooth RFCOMM port below a USB Bluetooth adapter's hci device.
  void Rfcomm(int n, const std::string& address, int channel) {
    const std::string usb = UsbDevice("1-7", "8087", "0a2b", "Bluetooth Radio", "Intel");
    const std::string hci = usb + "/1-7:1.0/bluetooth/hci0";
    Device(hci, "bluetooth", "", true);
    const std::string tty = Tty(hci, "rfcomm" + std::to_string(n), std::nullopt, "");
    File(tty + "/address", address + "\n");
    File(tty + "/channel", std::to_string(channel) + "\n");
  }

  // Consoles and pseudo-terminal multiplexer: virtual ttys without hardware.
  void VirtualTty(const std::string& name) {
    const std::string tty = "sys/devices/virtual/tty/" + name;
    File(tty + "/uevent", "DEVNAME=" + name + "\n");
    Link("sys/class/tty/" + name, tty);
  }

  // A device node in /dev (a plain file: the sources are told not to insist on a character
  // device).
  void Node(const std::string& name) { File("dev/" + name, ""); }

private:
  std::filesystem::path Path(const std::string& rel) const { return std::filesystem::path(root_) / rel; }

  TempDir folder_{"rv58-ports"};
  std::string root_;
};

} // namespace rv58::test
