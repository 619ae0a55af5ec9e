#pragma once
// The device interface under the serial port component: one opened serial device, the few
// operations the component and its reader thread need. Each platform supplies one back-end
// (comdevice_posix.cpp, later comdevice_win.cpp); tests supply fake devices.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace rv58 {

// Communication-event bits, with the values the Windows event mask uses, so the dispatch and the
// status handler read the same on every platform.
inline constexpr std::uint32_t evRXCHAR = 0x0001;
inline constexpr std::uint32_t evCTS = 0x0008;
inline constexpr std::uint32_t evDSR = 0x0010;
inline constexpr std::uint32_t evRLSD = 0x0020;
inline constexpr std::uint32_t evERR = 0x0080;
inline constexpr std::uint32_t evRING = 0x0100;

// Modem status bits (Windows values).
inline constexpr std::uint32_t msCTS_ON = 0x0010;
inline constexpr std::uint32_t msDSR_ON = 0x0020;
inline constexpr std::uint32_t msRING_ON = 0x0040;
inline constexpr std::uint32_t msRLSD_ON = 0x0080;

// Parity and stop bits of the serial port component (TComPort), in the platform's own codes; the
// one order of parities wherever a line format is held.
enum TParity : std::uint8_t { ptNONE = 0, ptODD = 1, ptEVEN = 2, ptMARK = 3, ptSPACE = 4 };
enum TStopBit : std::uint8_t { sbONE = 0, sbONE5 = 1, sbTWO = 2 };

// Line settings as the component holds them; parity and stop bits are the ordinals of TParity and
// TStopBit.
struct TLineSettings {
  std::uint32_t Baud = 9600;
  std::uint8_t DataBits = 8;
  int Parity = 0;
  int StopBits = 0;
};

enum class TModemLine { mlDTR, mlRTS };

enum class TWaitResult {
  wrStop,   // the stop request was seen (it wins over events that are ready at the same time)
  wrEvents, // one or more events were reported in the mask
  wrFailed, // the wait failed; the caller may simply wait again
};

// One opened device. Every call except WaitForEvents and RequestStop is made on the main thread;
// WaitForEvents and ModemStatus run on the reader thread; RequestStop may come from any thread.
// After Close every operation is harmless and has no effect on any line.
class TComDevice {
public:
  virtual ~TComDevice() = default;

  // Applies the line settings as a whole; false (and nothing changed) when the device refuses them.
  virtual bool SetLine(const TLineSettings& settings) = 0;
  // Asks for driver queue sizes; false when the device does not take them.
  virtual bool SetQueueSizes(std::uint32_t in, std::uint32_t out) = 0;
  // Discards everything queued in both directions.
  virtual void Purge() = 0;
  // Raises or lowers DTR or RTS; false when the device has no such line.
  virtual bool SetModemLine(TModemLine line, bool on) = 0;

  // Queues the bytes for sending; returns how many the device took (-1 on failure).
  virtual long Write(const char* data, std::size_t size) = 0;
  // Reads up to `size` bytes that are already queued, never waits; returns the count (-1 on failure).
  virtual long Read(char* data, std::size_t size) = 0;
  // Queries and clears the device's error state and yields the number of bytes waiting to be read;
  // false when the query failed (the count is then not valid).
  virtual bool QueryAndClearErrors(std::uint32_t& queued) = 0;
  // Bytes written but not yet sent on the line.
  virtual std::size_t OutputQueued() = 0;
  // Throws away bytes not yet sent.
  virtual void DiscardOutput() = 0;
  // True when bytes a Write took were later not all sent: a write the device finishes in the
  // background failed or was cut short. Devices whose Write returns only once the bytes are
  // queued report that in its count and keep the default.
  virtual bool OutputLost() { return false; }

  // Current modem lines as ms* bits (0 when the device has none).
  virtual std::uint32_t ModemStatus() = 0;
  // Blocks until events are ready or the stop request comes; fills `mask` with ev* bits.
  virtual TWaitResult WaitForEvents(std::uint32_t& mask) = 0;
  // Forgets what happened so far: later waits report only changes from now on (modem lines and
  // line errors compared with their state now). Open calls it once the lines are set, so lowering
  // DTR and RTS at the opening is no event (a loop-back plug would echo it on DSR and CTS).
  virtual void ResetEvents() {}
  // True once the device has hung up: pulled out, or the far end of a pseudo-terminal closed. Any
  // thread.
  virtual bool HungUp() const { return false; }
  // Makes the current and every later WaitForEvents return wrStop. Never lost, even when it comes
  // before the first wait.
  virtual void RequestStop() = 0;

  // Puts back the line settings found at the opening, releases the device (exclusivity, lock,
  // handle). Idempotent.
  virtual void Close() = 0;
};

using TComDevicePtr = std::shared_ptr<TComDevice>;

// Why a device cannot be opened, as the user reads it after the port's name.
inline constexpr const char* kOpenBusy = "foglalt, egy másik program használja";
inline constexpr const char* kOpenMissing = "nem található (nincs csatlakoztatva?)";
inline constexpr const char* kOpenNoRights = "nincs jogosultság a megnyitásához";
inline constexpr const char* kOpenNotSerial = "nem soros eszköz";
inline constexpr const char* kOpenNoPort = "nincs ilyen port";

// Opens a device by path, exclusively, configured provisionally (9600 baud, 8 data bits, even
// parity, one stop bit, binary), both directions purged and DTR and RTS low. Returns null and
// gives the reason in `error` (one of the texts above, or the system's own) when the device
// cannot be opened.
using TDeviceOpener = std::function<TComDevicePtr(const std::string& path, std::string& error)>;

// Priorities of the reader thread: one step above normal while it waits for events, the lowest
// once it has been told to stop.
enum class TThreadPriority { tpAboveNormal, tpLowest };

// Sets the calling thread's priority, best effort: false, and nothing changed, where the system
// does not allow it (raising usually needs a privilege).
bool SetCallingThreadPriority(TThreadPriority priority);

// Keeps the process's interruption signals (SIGINT, SIGTERM) off the calling thread, so they reach
// the program's main thread, which may be blocked writing its output.
void ShieldCallingThreadFromSignals();

// The platform's back-end.
TComDevicePtr OpenComDevice(const std::string& path, std::string& error);

// Waits until the device has sent what is queued, but no longer than those bytes need at `baud`
// plus `margin`; what is still queued then is discarded. Returns true when everything went out.
bool DrainOutputBounded(TComDevice& device, std::uint32_t baud,
                        std::chrono::milliseconds margin = std::chrono::milliseconds(250));

} // namespace rv58
