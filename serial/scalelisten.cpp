#include "scalelisten.h"

#include <chrono>

namespace rv58 {

void SetLineFormat(TComPort& port, const TLineFormat& f) {
  port.Baud = f.baud;
  port.DataBits = static_cast<std::uint8_t>(f.dataBits);
  // The `pr` list counts none, even, odd; the component's parity codes are none, odd, even.
  port.Parity = f.parity == 1 ? ptEVEN : f.parity == 2 ? ptODD : ptNONE;
  port.StopBits = f.stopBits == 2 ? sbTWO : sbONE;
}

TLineFormat LineFormatOf(const DisplaySettings& settings) {
  return TLineFormat::FromIndices(settings.bd(), settings.pr());
}

bool RunSearchOnPort(TComPort& port, TLineSearch& search, double maxSeconds,
                     const std::function<bool()>& interrupted) {
  using Clock = std::chrono::steady_clock;
  const auto begin = Clock::now();
  const auto since = [](Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
  };
  bool everOpened = false;
  port.ReceiveMode = rmRAW;
  while (!search.Done()) {
    const TLineFormat format = search.Current();
    SetLineFormat(port, format);
    Clock::time_point opened;
    port.ReceiveCallBack = [&](const std::string& data) { search.Feed(data, 0, since(opened)); };
    port.OnError = [&](TComPort&) {
      if (port.Active())
        search.Feed({}, 1, since(opened));
    };
    opened = Clock::now();
    port.Open();
    if (!port.Active()) {
      port.ReceiveCallBack = nullptr;
      port.OnError = nullptr;
      if (!everOpened)
        return false;
      search.Stop(); // the port went away during the search
      break;
    }
    everOpened = true;
    const double listen = TLineSearch::ListenSeconds(format);
    const auto over = [&] {
      return search.Enough() || port.HungUp() || since(opened) >= listen || since(begin) >= maxSeconds ||
             (interrupted && interrupted());
    };
    // Short waits, so that the clock and an interruption are looked at while the line is silent.
    while (!over())
      port.HandOff().ServeUntil(over, std::chrono::milliseconds(50));
    port.Close();
    port.ReceiveCallBack = nullptr;
    port.OnError = nullptr;
    if (port.HungUp() || since(begin) >= maxSeconds || (interrupted && interrupted())) {
      search.Stop();
      break;
    }
    search.Next();
  }
  return true;
}

} // namespace rv58
