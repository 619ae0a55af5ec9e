#include "senddisplay.h"

#include "ComPort.h"

#include <chrono>
#include <thread>

namespace rv58 {

namespace {

// Restores the cursor and the buttons also when something throws in between.
class TBusyScope {
public:
  TBusyScope(const TSendHooks& hooks, bool buttons) : hooks_(hooks), buttons_(buttons) {
    if (buttons_ && hooks_.EnableSendButtons)
      hooks_.EnableSendButtons(false);
    if (hooks_.SetBusy)
      hooks_.SetBusy(true);
  }
  ~TBusyScope() {
    if (hooks_.SetBusy)
      hooks_.SetBusy(false);
    if (buttons_ && hooks_.EnableSendButtons)
      hooks_.EnableSendButtons(true);
  }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

private:
  const TSendHooks& hooks_;
  bool buttons_;
};

} // namespace

TSendResult SendToDisplay(TComPort& port, const std::string& portName, std::uint32_t baud, bool pulseDtr,
                          const std::string& message, const TSendHooks& hooks) {
  auto sleep = [&](int ms) {
    if (hooks.Sleep)
      hooks.Sleep(ms);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  };
  auto processMessages = [&] {
    if (hooks.ProcessMessages)
      hooks.ProcessMessages();
    else
      port.HandOff().Serve();
  };

  port.Port = portName;
  try {
    port.Baud = baud;
    port.Open();
  } catch (...) {
    // Whatever went wrong shows as a port that is not active.
  }
  if (!port.Active())
    return srNOTOPEN;

  if (pulseDtr) {
    TBusyScope busy(hooks, false);
    port.SetDTR(true);
    sleep(50);
    port.SetDTR(false);
    sleep(2500);
  }

  TBusyScope busy(hooks, true);
  port.SendString("<>");
  sleep(10);
  port.SendString(message);
  processMessages();
  sleep(100);
  port.Close();
  processMessages();
  for (int i = 0; i < 1001; ++i) {
    sleep(10);
    if (!port.Active())
      break;
    processMessages();
  }
  return port.TransmitFailed() ? srFAILED : srSENT;
}

} // namespace rv58
