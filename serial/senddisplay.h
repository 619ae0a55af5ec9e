#pragma once
// One transmission to the display: open the port, "<>", the message, close. Shared by the window
// and rv58ctl; they differ only in how they wait, show the busy cursor and serve their events.

#include <cstdint>
#include <functional>
#include <string>

namespace rv58 {

class TComPort;

// What the caller does around the transmission. Empty members take the plain defaults of a
// command-line program: sleep the calling thread, serve the port's hand-off, no cursor, no buttons.
struct TSendHooks {
  std::function<void(int ms)> Sleep;                   // a plain pause of the calling thread
  std::function<void()> ProcessMessages;               // let the user interface handle what is pending
  std::function<void(bool busy)> SetBusy;              // hourglass cursor on / normal cursor back
  std::function<void(bool enabled)> EnableSendButtons; // the upload and display-test buttons
};

// How a transmission ended; the caller reports the last two.
enum TSendResult : std::uint8_t {
  srSENT,    // every byte was handed to the line and left within the closing drain
  srNOTOPEN, // the port could not be opened: nothing was touched
  srFAILED,  // a write failed or was cut short, the output did not drain, or the device hung up
};

// Sets Port and Baud, opens the port (failures while opening are swallowed); when it is not
// active, returns srNOTOPEN at once without touching anything else. Else optionally pulses DTR
// (50 ms, then 2.5 s of silence), sends "<>", 10 ms later the message, waits 100 ms, closes the
// port (which lets the output drain) and tells whether the bytes left.
TSendResult SendToDisplay(TComPort& port, const std::string& portName, std::uint32_t baud, bool pulseDtr,
                          const std::string& message, const TSendHooks& hooks = {});

} // namespace rv58
