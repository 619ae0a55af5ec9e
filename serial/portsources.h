#pragma once

// The platform's port sources: where the serial devices of the machine are found, how they are
// described and which port number a device has by default. One file per platform implements
// them (portsources_posix.cpp, portsources_win.cpp); the policy over them (order of the sources,
// first wins, numbering) is the port table of portnames.h. Every source reads below a root
// folder, "/" in the program, so that a test can lay out a fake system in a temporary folder.
// No source ever opens a device.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rv58 {

// One serial device that a source found.
struct TPortDevice {
  std::string path;        // device path as the program opens it, e.g. "/dev/ttyUSB0"
  std::string description; // how the device is described to the user; never empty
  // Details for a port-details view; empty when the source does not know them. Texts from the
  // device are Windows-1250 like the description.
  std::string driver;          // "ftdi_sio", "cdc_acm", "serial" ...
  std::string usbVendorId;     // "0403"
  std::string usbProductId;    // "6001"
  std::string usbProduct;      // "FT232R USB UART"
  std::string usbManufacturer; // "FTDI"
  std::string usbSerial;       // "A10K1ABC"
};

// The system the sources look at.
struct TPortSystem {
  std::string root = "/";
  // The device-node source takes character devices only; a fake tree in a test may use plain files.
  bool requireCharDevices = true;
  // Told each time the port table lists the ports (tests count the listings).
  std::function<void()> onTableBuilt;
};

// Source 1: the serial hardware the system's device registry knows, empty slots left out, in the
// natural order of the device names. `readable` tells whether that registry could be read at
// all; only when it cannot is the device-node source asked.
std::vector<TPortDevice> ListHardwarePorts(const TPortSystem& sys, bool* readable = nullptr);

// Source 3: the device nodes of serial ports, natural order; the description is the device path.
std::vector<TPortDevice> ListDeviceNodes(const TPortSystem& sys);

// The canonical form of `path` seen from inside `root` (symbolic links followed; a link with an
// absolute target stays inside the root), or nothing when the path does not exist there.
std::optional<std::string> ResolvePath(const std::string& root, const std::string& path);

// Whether the device is there now (a USB adapter pulled out is not; on Windows a COM name counts
// when the system has that device, whatever the listings say).
bool DeviceExists(const std::string& devicePath);

// The fixed default number of a device path, which depends on the device's own name only, or
// nothing for devices without one.
std::optional<int> DefaultPortNumber(std::string_view devicePath);

// The device path of a fixed default number, or empty for a number that has none.
std::string DefaultDevicePath(int number);

// The numbers from this one upward are free for devices without a default number.
extern const int kFirstOtherPortNumber;

// "ttyUSB2" before "ttyUSB10": runs of digits compare by value.
bool NaturalLess(const std::string& a, const std::string& b);

} // namespace rv58
