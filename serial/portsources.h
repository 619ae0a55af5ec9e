#pragma once

// The platform's port sources: where the serial devices of the machine are found and how they
// are described. Every source reads below a root folder, "/" in the program, so that a test can
// lay out a fake system in a temporary folder.

#include <functional>
#include <optional>
#include <string>
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
  // The UART type (TIOCGSERIAL) of the device node at this full path, or nothing when it cannot
  // be asked. Used only for a serial-core port whose "type" attribute cannot be read.
  std::function<std::optional<int>(const std::string& fullPath)> probeUartType;
  // Source 3 takes character devices only; a fake tree in a test may use plain files.
  bool requireCharDevices = true;
};

// The system of this machine: root "/", the real TIOCGSERIAL probe.
const TPortSystem& ThisPortSystem();

// Source 1: real serial hardware in <root>/sys/class/tty (phantom 8250 slots left out), in the
// natural order of the names. `readable` tells whether the class folder could be read at all.
std::vector<TPortDevice> ListSysfsDevices(const TPortSystem& sys, bool* readable = nullptr);

// Source 3: the device nodes ttyS*, ttyUSB* and ttyACM* in <root>/dev, natural order; the
// description is the device path.
std::vector<TPortDevice> ListDeviceNodes(const TPortSystem& sys);

// The canonical form of `path` seen from inside `root` (symbolic links followed; a link with an
// absolute target stays inside the root), or nothing when the path does not exist there.
std::optional<std::string> ResolvePath(const std::string& root, const std::string& path);

// Asks the device at this full path for its UART type without disturbing its lines; nothing when
// it cannot be opened or is not a serial-core device.
std::optional<int> ProbeUartType(const std::string& fullPath);

// "ttyUSB2" before "ttyUSB10": runs of digits compare by value.
bool NaturalLess(const std::string& a, const std::string& b);

} // namespace rv58
