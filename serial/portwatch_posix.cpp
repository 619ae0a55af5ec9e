// Linux: the kernel's device events through the netlink uevent socket, both the kernel's own
// messages (at once, as the device appears) and udev's (after its rules have set the node's
// group and the by-id links), since a port may be listed at the first and opened only after the
// second. Where the socket cannot be had, or would hear nothing (a namespace the kernel does not
// tell), inotify on /dev; for a folder that stands for a system, inotify on its dev and tty class.
#include "portwatch.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <linux/netlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rv58 {

namespace {

constexpr unsigned kKernelGroup = 1; // the kernel's uevents
constexpr unsigned kUdevGroup = 2;   // udev's, after its rules ran

// What one descriptor reports.
enum class TFeed { netlink, inotify };

// One inotify watch: a folder, and whether only the names of serial device nodes count in it.
struct TFolderWatch {
  int wd = -1;
  bool nodesOnly = false;
};

bool IsSerialNodeName(std::string_view name) {
  return name.starts_with("tty") || name.starts_with("rfcomm");
}

class TFdSource final : public TPortEventSource {
public:
  TFdSource(int fd, TFeed feed, std::vector<TFolderWatch> folders, std::string method, TPortChanged changed)
      : fd_(fd), feed_(feed), folders_(std::move(folders)), method_(std::move(method)),
        changed_(std::move(changed)) {}

  bool Start() {
    stop_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stop_ < 0)
      return false;
    thread_ = std::thread([this] { Run(); });
    return true;
  }

  ~TFdSource() override {
    if (thread_.joinable()) {
      const std::uint64_t one = 1;
      [[maybe_unused]] const ssize_t n = write(stop_, &one, sizeof one);
      thread_.join();
    }
    if (stop_ >= 0)
      close(stop_);
    close(fd_);
  }

  std::string Method() const override { return method_; }

private:
  void Run() {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {stop_, POLLIN, 0}};
    for (;;) {
      const int n = poll(fds, 2, -1); // sleeps until an event or the stop
      if (n < 0) {
        if (errno == EINTR)
          continue;
        return;
      }
      if (fds[1].revents != 0)
        return;
      bool broken = false;
      if (Drain(broken))
        changed_();
      if (broken)
        return; // a descriptor that only fails would keep poll awake: give up following
    }
  }

  // Reads every waiting message; true when one may concern a port. A lost message (the socket's
  // queue overflowed) counts as one that does.
  bool Drain(bool& broken) {
    bool relevant = false;
    bool readAny = false;
    for (;;) {
      const ssize_t n = feed_ == TFeed::netlink ? recv(fd_, buffer_, sizeof buffer_, MSG_DONTWAIT)
                                                : read(fd_, buffer_, sizeof buffer_);
      if (n < 0) {
        if (errno == EINTR)
          continue;
        if (errno == ENOBUFS) {
          relevant = readAny = true;
          continue;
        }
        broken = !readAny && errno != EAGAIN && errno != EWOULDBLOCK;
        return relevant;
      }
      if (n == 0) {
        broken = !readAny;
        return relevant;
      }
      readAny = true;
      const std::string_view data(buffer_, static_cast<std::size_t>(n));
      relevant = (feed_ == TFeed::netlink ? UeventConcernsTty(data) : InotifyConcernsPort(data)) || relevant;
    }
  }

  bool InotifyConcernsPort(std::string_view data) const {
    bool relevant = false;
    while (data.size() >= sizeof(inotify_event)) {
      inotify_event event{};
      std::copy_n(data.data(), sizeof event, reinterpret_cast<char*>(&event));
      const std::size_t size = sizeof event + event.len;
      if (size > data.size())
        break;
      const std::string_view name(data.data() + sizeof event, event.len);
      if ((event.mask & IN_Q_OVERFLOW) != 0) {
        relevant = true;
      } else if ((event.mask & IN_IGNORED) == 0) {
        for (const TFolderWatch& folder : folders_) {
          if (folder.wd == event.wd &&
              (!folder.nodesOnly || IsSerialNodeName(name.substr(0, name.find('\0')))))
            relevant = true;
        }
      }
      data.remove_prefix(size);
    }
    return relevant;
  }

  int fd_;
  TFeed feed_;
  std::vector<TFolderWatch> folders_;
  std::string method_;
  TPortChanged changed_;
  int stop_ = -1;
  std::thread thread_;
  alignas(inotify_event) char buffer_[16384];
};

std::unique_ptr<TPortEventSource> Started(std::unique_ptr<TFdSource> source) {
  return source->Start() ? std::move(source) : nullptr;
}

// The kernel tells its device events only to the network namespaces of the initial user
// namespace; elsewhere the socket opens and never hears anything.
bool InInitialUserNamespace() {
  std::ifstream map("/proc/self/uid_map");
  std::uint64_t inside = 1, outside = 1, count = 0;
  return map >> inside >> outside >> count && inside == 0 && outside == 0 && count == 4294967295u;
}

std::unique_ptr<TPortEventSource> WatchNetlink(const TPortChanged& changed) {
  if (!InInitialUserNamespace())
    return nullptr;
  const int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
  if (fd < 0)
    return nullptr;
  // Room for a burst (a hub with many ports); an overflow still only means "list again".
  const int size = 1 << 20;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  sockaddr_nl address{};
  address.nl_family = AF_NETLINK;
  address.nl_groups = kKernelGroup | kUdevGroup;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return nullptr;
  }
  return Started(std::make_unique<TFdSource>(fd, TFeed::netlink, std::vector<TFolderWatch>{},
                                             "kernel and udev device events (netlink)", changed));
}

std::unique_ptr<TPortEventSource> WatchFolders(const std::vector<std::pair<std::string, bool>>& folders,
                                               const TPortChanged& changed) {
  const int fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (fd < 0)
    return nullptr;
  std::vector<TFolderWatch> watches;
  std::string method;
  for (const auto& [folder, nodesOnly] : folders) {
    const int wd = inotify_add_watch(
        fd, folder.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_ONLYDIR);
    if (wd >= 0) {
      watches.push_back({wd, nodesOnly});
      method += (method.empty() ? "" : ", ") + folder;
    }
  }
  if (watches.empty()) {
    close(fd);
    return nullptr;
  }
  return Started(
      std::make_unique<TFdSource>(fd, TFeed::inotify, std::move(watches), method + " (inotify)", changed));
}

} // namespace

std::unique_ptr<TPortEventSource> WatchPorts(const TPortSystem& sys, TPortChanged changed) {
  std::string root = sys.root;
  while (root.size() > 1 && root.back() == '/')
    root.pop_back();
  if (root == "/") {
    if (auto source = WatchNetlink(changed))
      return source;
    return WatchFolders({{"/dev", true}}, changed);
  }
  return WatchFolders({{root + "/dev", true}, {root + "/sys/class/tty", false}}, changed);
}

} // namespace rv58
