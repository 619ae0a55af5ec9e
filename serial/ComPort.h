#pragma once
// The serial port component TComPort and its reader thread TCommThread. No toolkit: events fire
// on the main thread, inside TComPort's own calls or inside hand-offs that the main thread serves
// (handoff.h).

#include "comdevice.h"
#include "handoff.h"
#include "portnames.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

namespace rv58 {

enum TReceiveMode : std::uint8_t { rmRAW = 0, rmTERM = 1 };

class TComPort;

using TNotifyEvent = std::function<void(TComPort& Sender)>;
using TReceiveProc = std::function<void(const std::string& Data)>;
using TStatusChanged = std::function<void(bool Status)>;

// Raised only by an invalid Terminator text.
class EComError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// A device that cannot be opened or a thread that cannot be started; TComPort::Open turns it
// into OnError.
class EComThreadError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The most the pending receive text keeps; older bytes are dropped first.
inline constexpr std::size_t kMaxPendingReceive = 64 * 1024;

// The reader thread of one opening of the port. It waits for the device's events and hands each
// completed wait to the main thread, where the dispatch reads the queue count and calls the
// attached handlers. Everything but the loop runs on the main thread.
class TCommThread : public std::enable_shared_from_this<TCommThread> {
public:
  using TReceiveHandler = std::function<void(std::uint32_t count)>;
  using TStatusHandler = std::function<void(std::uint32_t eventMask, std::uint32_t modemStatus)>;

  // Opens the device (through `opener`) exclusively, provisionally configured, purged, DTR and RTS
  // low; the thread is not started yet. Throws EComThreadError when the device cannot be opened.
  static std::shared_ptr<TCommThread> Create(const std::string& path, const TDeviceOpener& opener,
                                             THandOff handOff);
  ~TCommThread();
  TCommThread(const TCommThread&) = delete;
  TCommThread& operator=(const TCommThread&) = delete;

  // The device's own refusals are ignored: the line then keeps its provisional settings.
  void ApplyLineSettings(std::uint32_t baud, std::uint8_t dataBits, int parity, int stopBits);
  void SetQueueSizes(std::uint32_t in, std::uint32_t out);
  // The pause after each delivery of received data (see TComPort::ReceiveGap); before Start.
  void SetReceiveGap(std::chrono::milliseconds gap) { receiveGap_ = gap; }
  // The device's events count from here (see TComDevice::ResetEvents).
  void ResetEvents();
  void AttachHandlers(TReceiveHandler receive, TStatusHandler status);
  // Starts the loop; throws EComThreadError when no thread can be created.
  void Start();
  // Clears the receive handler and tells the loop to end. Never lost, whether the loop runs yet.
  void StopRequest();
  // Waits for the loop's end while serving hand-offs; then drains the output (bounded) and closes
  // the device. Returns at once, closing the device, when called inside this thread's own dispatch.
  void WaitForEndAndClose();

  // False when the closing drain could not send everything within its bound, or the device was
  // gone (hung up, unplugged) by then: what was written may not have left.
  bool OutputDelivered() const { return outputDelivered_; }

  long Write(const char* data, std::size_t size);
  long Read(char* data, std::size_t size);
  void SetModemLine(TModemLine line, bool on);
  bool Ended() const { return ended_.load(); }
  bool HungUp() const { return device_->HungUp(); }
  bool InDispatch() const { return inDispatch_ > 0; }

private:
  TCommThread(TComDevicePtr device, THandOff handOff);
  void Execute();  // reader thread
  void Dispatch(); // main thread, inside a hand-off
  void CloseDevice();

  TComDevicePtr device_;
  THandOff handOff_;
  std::thread thread_;
  std::atomic<bool> terminate_{false};
  std::atomic<bool> ended_{false};
  std::chrono::milliseconds receiveGap_{0};
  std::mutex gapMutex_; // the pause ends early on a stop request
  std::condition_variable gapEnd_;
  std::uint32_t baud_ = 9600; // the speed in force, for the bound of the closing drain
  bool deviceClosed_ = false;
  bool outputDelivered_ = true;
  int inDispatch_ = 0;
  // Written by the loop only while no dispatch runs; read by the dispatch while the loop waits.
  std::uint32_t eventMask_ = 0;
  std::uint32_t modemStatusBeforeWait_ = 0; // sampled before the wait that ended with eventMask_
  // Main thread only.
  TReceiveHandler receiveHandler_;
  TStatusHandler statusHandler_;
};

class TComPort {
public:
  // `handOff` is where the reader thread's events reach the main thread; `opener` opens devices
  // (the platform's back-end unless a test gives its own).
  explicit TComPort(THandOff handOff = DefaultHandOff(), TDeviceOpener opener = OpenComDevice);
  ~TComPort(); // closes an active port first (OnPortClose fires)
  TComPort(const TComPort&) = delete;
  TComPort& operator=(const TComPort&) = delete;

  // Line settings; they take effect at the next Open.
  std::string Port = "COM1"; // a port name (through PortNames) or a device path
  // What a port name stands for; its owner hands it in (by default no explicit entries).
  TPortNames PortNames;
  std::uint32_t Baud = 9600;
  std::uint8_t DataBits = 8;
  TParity Parity = ptNONE;
  TStopBit StopBits = sbONE;
  std::uint32_t WinQSizeIn = 8192;
  std::uint32_t WinQSizeOut = 8192;
  TReceiveMode ReceiveMode = rmTERM; // applies from the next arrival of data
  // After each delivery of received data the reader pauses this long, and what arrives meanwhile
  // comes in one piece: far fewer wake-ups on a fast stream, for a reader that can wait that long
  // (data after a quiet line still comes at once). Takes effect at the next Open.
  std::chrono::milliseconds ReceiveGap{0};

  // "#13#10" notation. The setter raises EComError for a bad number (the terminator is carriage
  // return and line feed afterwards).
  std::string Terminator() const;
  void SetTerminator(std::string_view text);
  const std::string& TerminatorBytes() const { return terminator_; }

  // Events; an empty one is skipped.
  TNotifyEvent OnPortOpen;
  TNotifyEvent OnPortClose;
  TReceiveProc ReceiveCallBack;
  TStatusChanged OnCTSChanged;
  TStatusChanged OnDSRChanged;
  TStatusChanged OnRingChanged;
  TStatusChanged OnRLSDChanged;
  TNotifyEvent OnError;

  void Open();
  void Close();
  bool Active() const { return active_; }
  void SendString(const std::string& S);
  void SetDTR(bool State);
  void SetRTS(bool State);

  // True when, since the last Open, a write failed or was cut short, or Close could not send the
  // output within its bound or found the device gone (hung up, unplugged): the bytes written may
  // not all have reached the line.
  bool TransmitFailed() const { return transmitFailed_; }
  // True when, since the last Open, the device hung up: pulled out, or the far end closed.
  bool HungUp() const { return hungUp_ || (thread_ && thread_->HungUp()); }
  // Why the last Open failed, after the port's name: "COM7 (/dev/ttyUSB0): foglalt, egy másik
  // program használja". Empty after an Open that succeeded.
  const std::string& OpenError() const { return openError_; }
  // The port as the user named it, with the device it stands for where that differs.
  std::string PortAndDevice() const;

  // Bytes received in rmTERM mode that are not delivered yet (at most kMaxPendingReceive).
  const std::string& PendingReceive() const { return pending_; }
  const THandOff& HandOff() const { return handOff_; }

private:
  void DataHandler(std::uint32_t count);
  void StatusHandler(std::uint32_t eventMask, std::uint32_t modemStatus);

  THandOff handOff_;
  TDeviceOpener opener_;
  bool active_ = false;
  bool transmitFailed_ = false;
  bool hungUp_ = false;
  std::string openError_;
  std::string devicePort_, devicePath_; // Port and its device at the last Open
  std::shared_ptr<TCommThread> thread_;
  std::string terminator_ = "\r\n";
  std::string pending_;
};

} // namespace rv58
