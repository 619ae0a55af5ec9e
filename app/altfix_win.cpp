#include "VistaAltFixUnit.h"

#include <windows.h>

namespace {

// Windows tells a window with WM_UPDATEUISTATE that its access-key underlines or focus
// rectangles are to be shown or hidden: after Alt, and after the first keyboard navigation.
class TCueWatcher : public QAbstractNativeEventFilter {
public:
  explicit TCueWatcher(std::function<void(WId)> changed) : changed_(std::move(changed)) {}

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
    if (eventType == "windows_generic_MSG") {
      const auto* msg = static_cast<const MSG*>(message);
      if (msg->message == WM_UPDATEUISTATE)
        changed_(reinterpret_cast<WId>(msg->hwnd));
    }
    return false; // the window handles the message as before
  }

private:
  std::function<void(WId)> changed_;
};

} // namespace

std::unique_ptr<QAbstractNativeEventFilter> WatchNativeCueChanges(std::function<void(WId)> changed) {
  return std::make_unique<TCueWatcher>(std::move(changed));
}
