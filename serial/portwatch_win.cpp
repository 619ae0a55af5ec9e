// Windows: WM_DEVICECHANGE to a hidden window of our own, on a thread of its own that sleeps in
// GetMessage. RegisterDeviceNotification asks for the arrival and removal of COM port interfaces
// (GUID_DEVINTERFACE_COMPORT, which the drivers of the ports device class register); as a
// top-level window it also hears the system's broadcast of a port's arrival and removal
// (DBT_DEVTYP_PORT) and DBT_DEVNODES_CHANGED, which covers port drivers that register no
// interface. The program's port sources read the system's registry, so a folder given as the
// system's root changes nothing here.
#include "portwatch.h"

#include <windows.h>

#include <dbt.h>

#include <future>
#include <thread>
#include <utility>

namespace rv58 {

namespace {

// GUID_DEVINTERFACE_COMPORT, written out so that no further header or library is needed.
constexpr GUID kComPortInterface = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};
constexpr wchar_t kWindowClass[] = L"RV58LEDPortWatch";

bool ConcernsPort(WPARAM event, LPARAM data) {
  if (event == DBT_DEVNODES_CHANGED)
    return true;
  if ((event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) || data == 0)
    return false;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
  return header->dbch_devicetype == DBT_DEVTYP_PORT || header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE;
}

class TDeviceChangeSource final : public TPortEventSource {
public:
  explicit TDeviceChangeSource(TPortChanged changed) : changed_(std::move(changed)) {}

  // Creates the window on the thread and waits for the outcome.
  bool Start() {
    std::promise<bool> created;
    std::future<bool> result = created.get_future();
    thread_ = std::thread([this, &created] { Run(created); });
    if (result.get())
      return true;
    thread_.join();
    return false;
  }

  ~TDeviceChangeSource() override {
    if (thread_.joinable()) {
      PostMessageW(window_, WM_CLOSE, 0, 0);
      thread_.join();
    }
  }

  std::string Method() const override {
    return "WM_DEVICECHANGE (RegisterDeviceNotification, COM port interfaces)";
  }

private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TDeviceChangeSource*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_DEVICECHANGE:
      if (self != nullptr && ConcernsPort(wParam, lParam))
        self->changed_();
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
    }
  }

  void Run(std::promise<bool>& created) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass); // fails harmlessly when a second watcher registered it already
    // A top-level window that is never shown: message-only windows miss the broadcasts. Without
    // a desktop (a service, Wine without a display) a message-only window still hears what
    // RegisterDeviceNotification sends it.
    window_ = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, this);
    if (window_ == nullptr)
      window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
    if (window_ == nullptr) {
      created.set_value(false);
      return;
    }
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kComPortInterface;
    const HDEVNOTIFY notify = RegisterDeviceNotificationW(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    created.set_value(true); // the broadcasts come even when the registration failed
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (notify != nullptr)
      UnregisterDeviceNotification(notify);
  }

  TPortChanged changed_;
  HWND window_ = nullptr;
  std::thread thread_;
};

} // namespace

std::unique_ptr<TPortEventSource> WatchPorts(const TPortSystem&, TPortChanged changed) {
  auto source = std::make_unique<TDeviceChangeSource>(std::move(changed));
  if (!source->Start())
    return nullptr;
  return source;
}

} // namespace rv58
