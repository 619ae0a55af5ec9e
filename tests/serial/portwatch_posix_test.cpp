// The Linux port watcher: inotify on a fake device tree, and the kernel's netlink uevents where the
// machine lets a test make one.
#include "portdetect_faketree.h"
#include "portwatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rv58 {
namespace {

using namespace std::chrono_literals;

// Counts the source's notices, which come on its own thread.
struct Notices {
  std::atomic<int> count{0};
  TPortChanged Callback() {
    return [this] { ++count; };
  }
  int Count() const { return count; }
  // Waits until more than `seen` notices came (at most five seconds); the count then.
  int WaitBeyond(int seen) const {
    for (int i = 0; i < 500 && count <= seen; ++i)
      std::this_thread::sleep_for(10ms);
    return count;
  }
};

TEST(PortWatchFolder, AnAdapterComingGoingAndItsNodeAreNoticedOtherFilesAreNotNorAnythingAfterTheStop) {
  EXPECT_EQ(WatchPorts(TPortSystem{"/nonexistent/rv58-root", false, {}}, [] {}), nullptr);
  test::FakeSystem fake;
  Notices notices;
  auto source = WatchPorts(fake.System(), notices.Callback());
  ASSERT_NE(source, nullptr);
  EXPECT_NE(source->Method().find("inotify"), std::string::npos) << source->Method();

  fake.File("dev/null2", "");
  fake.Dir("dev/pts2");
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(notices.Count(), 0) << "a file that is no serial device node";
  const std::function<void()> steps[] = {
      [&] { fake.UsbSerial("1-2", "ttyUSB0", "FT232R USB UART", "FTDI"); }, // the tty class entry
      [&] { fake.Node("ttyUSB0"); },
      [&] { std::filesystem::remove(std::filesystem::path(fake.Root()) / "sys/class/tty/ttyUSB0"); },
  };
  for (const auto& step : steps) {
    const int before = notices.Count();
    step();
    ASSERT_GT(notices.WaitBeyond(before), before);
  }

  std::thread flood([&] {
    for (int i = 0; i < 200; ++i)
      fake.Node("ttyS" + std::to_string(i));
  });
  notices.WaitBeyond(notices.Count());
  source.reset(); // while events still come
  const int atStop = notices.Count();
  flood.join();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(notices.Count(), atStop);
}

// A tty that no test ever opens: a virtual console whose uevent file makes the kernel tell its
// device event again. Writing it needs root; the kernel tells only some network namespaces.
constexpr const char* kUeventFile = "/sys/class/tty/tty63/uevent";

// Whether a socket of the test's own hears a tty uevent within the time.
bool HearsTtyUevent(int fd, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  char buffer[16384];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
      return false;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n > 0 && UeventConcernsTty(std::string_view(buffer, static_cast<std::size_t>(n))))
      return true;
  }
}

TEST(PortWatchKernel, ARealUeventOfATtyIsNoticed) {
  Notices notices;
  const auto source = WatchPorts(TPortSystem{}, notices.Callback());
  ASSERT_NE(source, nullptr) << "even without netlink, /dev can be watched";
  if (source->Method().find("netlink") == std::string::npos)
    GTEST_SKIP() << "no netlink uevent socket here: " << source->Method();
  if (access(kUeventFile, W_OK) != 0)
    GTEST_SKIP() << kUeventFile << " cannot be written (needs root): " << std::strerror(errno);

  const int own = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
  ASSERT_GE(own, 0);
  sockaddr_nl address{};
  address.nl_family = AF_NETLINK;
  address.nl_groups = 1;
  ASSERT_EQ(bind(own, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  const int before = notices.Count();
  std::ofstream(kUeventFile) << "change";
  const bool delivered = HearsTtyUevent(own, 3s);
  close(own);
  if (!delivered)
    GTEST_SKIP() << "the kernel tells this namespace no uevents";
  EXPECT_GT(notices.WaitBeyond(before), before);
}

} // namespace
} // namespace rv58
