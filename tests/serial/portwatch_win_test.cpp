// The Windows port watcher: its hidden window hears WM_DEVICECHANGE on a thread of its own, tells
// only what concerns ports, and goes away with the source.
#include "portwatch.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <dbt.h>

#include <atomic>

namespace rv58 {
namespace {

constexpr wchar_t kWindowClass[] = L"RV58LEDPortWatch";

HWND WatchWindow() {
  if (HWND top = FindWindowW(kWindowClass, nullptr))
    return top;
  return FindWindowExW(HWND_MESSAGE, nullptr, kWindowClass, nullptr); // without a desktop
}

TEST(PortWatchWindows, PortEventsReachTheCallbackOthersDoNotAndStoppingRemovesTheWindow) {
  std::atomic<int> calls{0};
  auto source = WatchPorts(TPortSystem{}, [&] { ++calls; });
  ASSERT_NE(source, nullptr);
  const HWND window = WatchWindow();
  ASSERT_NE(window, nullptr);

  DEV_BROADCAST_PORT_W port{};
  port.dbcp_size = sizeof port;
  port.dbcp_devicetype = DBT_DEVTYP_PORT;
  DEV_BROADCAST_VOLUME volume{};
  volume.dbcv_size = sizeof volume;
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  struct Case {
    const char* what;
    WPARAM event;
    const void* data;
    int calls;
  };
  const Case cases[] = {
      {"a port arrived", DBT_DEVICEARRIVAL, &port, 1},
      {"a port removed", DBT_DEVICEREMOVECOMPLETE, &port, 2},
      {"device nodes changed", DBT_DEVNODES_CHANGED, nullptr, 3},
      {"a volume arrived", DBT_DEVICEARRIVAL, &volume, 3},
      {"a port about to go", DBT_DEVICEQUERYREMOVE, &port, 3},
  };
  for (const Case& c : cases) {
    SendMessageW(window, WM_DEVICECHANGE, c.event, reinterpret_cast<LPARAM>(c.data));
    EXPECT_EQ(calls, c.calls) << c.what;
  }

  source.reset();
  EXPECT_EQ(WatchWindow(), nullptr);
  EXPECT_NE(WatchPorts(TPortSystem{}, [] {}), nullptr) << "a second watcher after the first";
}

} // namespace
} // namespace rv58
