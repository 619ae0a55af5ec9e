// Port sources on Linux: sysfs for the hardware, /dev for the fallback, and the fixed numbers of
// the kernel's serial device names.
#include "portsources.h"

#include "cp1250.h"
#include "strconv.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rv58 {

namespace {

// ttyS<n> is COM<n+1>, ttyUSB<n> COM<n+33>, ttyACM<n> COM<n+65>: 32 numbers per family.
struct Family {
  std::string_view prefix;
  int first; // port number of <prefix>0
};
constexpr std::array<Family, 3> kFamilies = {{{"/dev/ttyS", 1}, {"/dev/ttyUSB", 33}, {"/dev/ttyACM", 65}}};
constexpr int kFamilySize = 32;

std::string RootPrefix(const std::string& root) {
  std::string prefix = root;
  while (!prefix.empty() && prefix.back() == '/')
    prefix.pop_back();
  return prefix;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string BaseName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ParentDir(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::optional<std::string> ReadLink(const std::string& path) {
  std::array<char, 4096> buffer{};
  const auto n = ::readlink(path.c_str(), buffer.data(), buffer.size() - 1);
  if (n < 0)
    return std::nullopt;
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

// Where a sysfs link points. Its target is relative and runs through real folders only, so
// joining it to the link's folder is exact, and far cheaper than realpath()'s walk of every
// component on a deep device path.
std::optional<std::string> FollowSysfsLink(const std::string& link) {
  const auto target = ReadLink(link);
  if (!target)
    return std::nullopt;
  std::filesystem::path joined = (*target)[0] == '/' ? std::filesystem::path(*target)
                                                     : std::filesystem::path(link).parent_path() / *target;
  std::string result = joined.lexically_normal().string();
  while (result.size() > 1 && result.back() == '/')
    result.pop_back();
  return result;
}

// A sysfs attribute: one short line. Attributes are small; 4 KiB is what sysfs hands out at most.
std::optional<std::string> ReadAttribute(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0)
    return std::nullopt;
  std::array<char, 4096> buffer{};
  ssize_t n;
  do
    n = ::read(fd, buffer.data(), buffer.size());
  while (n < 0 && errno == EINTR);
  ::close(fd);
  if (n < 0)
    return std::nullopt;
  std::string text(buffer.data(), static_cast<std::size_t>(n));
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
    text.pop_back();
  return text;
}

// The name of the subsystem a sysfs device belongs to ("usb", "serial-base", "bluetooth" ...).
std::string SubsystemOf(const std::string& deviceDir) {
  const auto link = ReadLink(deviceDir + "/subsystem");
  return link ? BaseName(*link) : std::string();
}

std::string DriverOf(const std::string& deviceDir) {
  const auto link = ReadLink(deviceDir + "/driver");
  return link ? BaseName(*link) : std::string();
}

// USB strings and sysfs texts are UTF-8; the core keeps Windows-1250. A description stays one line.
std::string DeviceText(const std::string& utf8) {
  return Utf8ToCp1250(SingleLine(utf8));
}

const char* UartTypeName(int type) {
  // The UART types the 8250 family and the common SoC drivers report (linux/serial_core.h).
  static constexpr std::array<const char*, 33> names = {
      nullptr,          "8250",         "16450",        "16550",        "16550A",
      "Cirrus",         "16650",        "16650V2",      "16750",        "Startech",
      "16C950",         "16654",        "16850",        "RSA",          "NS16550A",
      "XScale",         "RM9000",       "Octeon",       "AR7",          "U6 16550A",
      "Tegra",          "XR17D15x",     "LPC3220",      "8250 CIR",     "XR17V35x",
      "Brcm TruManage", "Altera 16550", "Altera 16550", "Altera 16550", "RT2880",
      "16550A FSL64",   "PXA",          "PL011"};
  if (type > 0 && type < static_cast<int>(names.size()))
    return names[static_cast<std::size_t>(type)];
  return nullptr;
}

// The USB device (the folder with idVendor and idProduct) above a tty's device, if any.
std::optional<std::string> FindUsbDevice(const std::string& deviceDir, const std::string& sysDevices) {
  std::string dir = deviceDir;
  for (int level = 0; level < 8 && dir.size() > sysDevices.size() && dir.starts_with(sysDevices); ++level) {
    if (Exists(dir + "/idVendor") && Exists(dir + "/idProduct"))
      return dir;
    dir = ParentDir(dir);
  }
  return std::nullopt;
}

// Fills the description and the details of a device found in sysfs.
void DescribeDevice(TPortDevice& device, const std::string& ttyDir, const std::string& deviceDir,
                    std::optional<int> uartType, const std::string& sysDevices) {
  std::string what;
  const std::string subsystem = SubsystemOf(deviceDir);
  device.driver = DriverOf(deviceDir);
  if (subsystem == "bluetooth" || BaseName(ttyDir).starts_with("rfcomm")) {
    what = "Bluetooth RFCOMM";
    if (const auto address = ReadAttribute(ttyDir + "/address"); address && !address->empty())
      what += " " + *address;
    if (const auto channel = ReadAttribute(ttyDir + "/channel"); channel && !channel->empty())
      what += " (channel " + *channel + ")";
    if (device.driver.empty())
      device.driver = "rfcomm";
  } else if (const auto usb = FindUsbDevice(deviceDir, sysDevices)) {
    device.usbVendorId = ReadAttribute(*usb + "/idVendor").value_or("");
    device.usbProductId = ReadAttribute(*usb + "/idProduct").value_or("");
    device.usbProduct = DeviceText(ReadAttribute(*usb + "/product").value_or(""));
    device.usbManufacturer = DeviceText(ReadAttribute(*usb + "/manufacturer").value_or(""));
    device.usbSerial = DeviceText(ReadAttribute(*usb + "/serial").value_or(""));
    what = !device.usbProduct.empty() ? device.usbProduct
                                      : "USB " + device.usbVendorId + ":" + device.usbProductId;
    if (!device.usbManufacturer.empty())
      what += " (" + device.usbManufacturer + ")";
  } else {
    // Serial core: the UART type, and the driver of the hardware below the serial-base port and
    // controller devices that kernels since 2023 put in between.
    std::string dir = deviceDir;
    for (int level = 0; level < 4 && dir.starts_with(sysDevices); ++level) {
      if (SubsystemOf(dir) != "serial-base") {
        device.driver = DriverOf(dir);
        break;
      }
      dir = ParentDir(dir);
    }
    const char* uart = uartType ? UartTypeName(*uartType) : nullptr;
    if (uart)
      what = std::string(uart) + " UART";
    if (!device.driver.empty())
      what += what.empty() ? device.driver : " (" + device.driver + ")";
  }
  device.description = what.empty() ? device.path : what + " " + device.path;
}

std::string DevNameOf(const std::string& ttyDir, const std::string& fallback) {
  if (const auto uevent = ReadAttribute(ttyDir + "/uevent")) {
    std::size_t pos = 0;
    while (pos < uevent->size()) {
      auto end = uevent->find('\n', pos);
      if (end == std::string::npos)
        end = uevent->size();
      const std::string_view line(uevent->data() + pos, end - pos);
      if (line.starts_with("DEVNAME=") && line.size() > 8 && line.find("..") == std::string_view::npos)
        return std::string(line.substr(8));
      pos = end + 1;
    }
  }
  return fallback;
}

std::vector<std::string> SortedEntries(const std::string& folder, bool* readable) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (readable)
    *readable = dir != nullptr;
  if (!dir)
    return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..")
      names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end(), NaturalLess);
  return names;
}

} // namespace

const int kFirstOtherPortNumber = 97;

std::optional<int> DefaultPortNumber(std::string_view devicePath) {
  for (const auto& family : kFamilies) {
    if (!devicePath.starts_with(family.prefix))
      continue;
    const auto digits = devicePath.substr(family.prefix.size());
    // Plain decimal only: "ttyS01" is not the kernel's name of any device.
    if (digits.empty() || digits.size() > 2 || (digits.size() > 1 && digits[0] == '0') ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return std::nullopt;
    const int n = std::stoi(std::string(digits));
    if (n >= kFamilySize)
      return std::nullopt;
    return family.first + n;
  }
  return std::nullopt;
}

std::string DefaultDevicePath(int number) {
  for (const auto& family : kFamilies)
    if (number >= family.first && number < family.first + kFamilySize)
      return std::string(family.prefix) + std::to_string(number - family.first);
  return {};
}

bool DeviceExists(const std::string& devicePath) {
  struct stat st {};
  return ::stat(devicePath.c_str(), &st) == 0;
}

std::optional<std::string> ResolvePath(const std::string& root, const std::string& path) {
  if (path.empty())
    return std::nullopt;
  const std::string prefix = RootPrefix(root);
  std::deque<std::string> todo;
  auto pushFront = [&todo](const std::string& p) {
    const auto parts = SplitNonEmpty(p, '/');
    todo.insert(todo.begin(), parts.begin(), parts.end());
  };
  pushFront(path);
  std::vector<std::string> done;
  auto joined = [&done]() {
    std::string s;
    for (const auto& part : done)
      s += "/" + part;
    return s;
  };
  int links = 0;
  while (!todo.empty()) {
    const std::string part = todo.front();
    todo.pop_front();
    if (part == ".")
      continue;
    if (part == "..") {
      if (!done.empty())
        done.pop_back();
      continue;
    }
    const std::string candidate = prefix + joined() + "/" + part;
    struct stat st {};
    if (::lstat(candidate.c_str(), &st) != 0)
      return std::nullopt;
    if (S_ISLNK(st.st_mode)) {
      if (++links > 40)
        return std::nullopt;
      const auto target = ReadLink(candidate);
      if (!target || target->empty())
        return std::nullopt;
      if ((*target)[0] == '/')
        done.clear();
      pushFront(*target);
      continue;
    }
    if (!todo.empty() && !S_ISDIR(st.st_mode))
      return std::nullopt;
    done.push_back(part);
  }
  const std::string result = joined();
  return result.empty() ? std::string("/") : result;
}

std::vector<TPortDevice> ListHardwarePorts(const TPortSystem& sys, bool* readable) {
  const std::string prefix = RootPrefix(sys.root);
  const std::string classDir = prefix + "/sys/class/tty";
  const std::string sysDevices = prefix + "/sys/devices";
  std::vector<TPortDevice> devices;
  for (const auto& name : SortedEntries(classDir, readable)) {
    const std::string entry = classDir + "/" + name;
    const auto link = ReadLink(entry);
    if (link && link->find("/virtual/") != std::string::npos)
      continue; // consoles, ptmx, pseudo-terminals: not serial hardware
    const std::string ttyDir = link ? FollowSysfsLink(entry).value_or(entry) : entry;
    const auto deviceDir = FollowSysfsLink(ttyDir + "/device");
    if (!deviceDir)
      continue; // no hardware behind it
    const std::string devicePath = "/dev/" + DevNameOf(ttyDir, name);

    // A serial-core port reports its UART type; 0 is a slot the 8250 driver reserves without a
    // UART behind it. The type, not the bus or the driver, tells: those changed in 2023. A port
    // whose type cannot be read is listed: asking the device itself would mean opening it, and
    // an open and close can move a real UART's modem lines and hang up what is on the line.
    std::optional<int> uartType;
    if (const auto text = ReadAttribute(ttyDir + "/type"))
      uartType = TryStrToInt(*text);
    if (uartType && *uartType == 0)
      continue;
    TPortDevice device;
    device.path = devicePath;
    DescribeDevice(device, ttyDir, *deviceDir, uartType, sysDevices);
    devices.push_back(std::move(device));
  }
  return devices;
}

std::vector<TPortDevice> ListDeviceNodes(const TPortSystem& sys) {
  const std::string devDir = RootPrefix(sys.root) + "/dev";
  std::vector<TPortDevice> nodes;
  for (const auto& name : SortedEntries(devDir, nullptr)) {
    std::size_t digits = 0;
    for (const char* family : {"ttyUSB", "ttyACM", "ttyS"}) {
      if (name.starts_with(family)) {
        digits = std::strlen(family);
        break;
      }
    }
    if (digits == 0 || digits == name.size() ||
        !std::all_of(name.begin() + static_cast<std::ptrdiff_t>(digits), name.end(),
                     [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    struct stat st {};
    if (::stat((devDir + "/" + name).c_str(), &st) != 0)
      continue;
    if (!S_ISCHR(st.st_mode) && (sys.requireCharDevices || !S_ISREG(st.st_mode)))
      continue;
    const std::string path = "/dev/" + name;
    TPortDevice node;
    node.path = path;
    node.description = path;
    nodes.push_back(std::move(node));
  }
  return nodes;
}

} // namespace rv58
