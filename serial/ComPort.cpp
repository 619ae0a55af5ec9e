#include "ComPort.h"

#include "portnames.h"
#include "strconv.h"

#include <system_error>

namespace rv58 {

// ---------------------------------------------------------------------------------------------
// TCommThread

TCommThread::TCommThread(TComDevicePtr device, THandOff handOff)
    : device_(std::move(device)), handOff_(std::move(handOff)) {}

std::shared_ptr<TCommThread> TCommThread::Create(const std::string& path, const TDeviceOpener& opener,
                                                 THandOff handOff) {
  if (path.empty())
    throw EComThreadError(kOpenNoPort);
  std::string error;
  TComDevicePtr device = opener ? opener(path, error) : nullptr;
  if (!device)
    throw EComThreadError(error.empty() ? kOpenMissing : error);
  return std::shared_ptr<TCommThread>(new TCommThread(std::move(device), std::move(handOff)));
}

TCommThread::~TCommThread() {
  if (thread_.joinable()) {
    // Only reached when the owner let go without WaitForEndAndClose.
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();
    } else {
      StopRequest();
      thread_.join();
    }
  }
  CloseDevice();
}

void TCommThread::ApplyLineSettings(std::uint32_t baud, std::uint8_t dataBits, int parity, int stopBits) {
  if (device_->SetLine(TLineSettings{baud, dataBits, parity, stopBits}))
    baud_ = baud;
}

void TCommThread::SetQueueSizes(std::uint32_t in, std::uint32_t out) {
  device_->SetQueueSizes(in, out);
}

void TCommThread::ResetEvents() {
  device_->ResetEvents();
}

void TCommThread::AttachHandlers(TReceiveHandler receive, TStatusHandler status) {
  receiveHandler_ = std::move(receive);
  statusHandler_ = std::move(status);
}

void TCommThread::Start() {
  try {
    // The loop keeps its object alive, so the object may be let go while the loop finishes.
    thread_ = std::thread([self = shared_from_this()] { self->Execute(); });
  } catch (const std::system_error& e) {
    throw EComThreadError(e.what());
  }
}

void TCommThread::StopRequest() {
  receiveHandler_ = nullptr;
  terminate_.store(true);
  {
    std::lock_guard<std::mutex> lock(gapMutex_); // a pause that is just starting sees the flag
  }
  gapEnd_.notify_all();
  device_->RequestStop();
}

void TCommThread::WaitForEndAndClose() {
  if (thread_.joinable()) {
    if (InDispatch()) {
      // Called from one of this thread's own events: the loop is parked in this very hand-off and
      // can only end after it returns. It touches the device no more (the stop flag is set), so
      // the device is closed here and the loop ends on its own right after.
      thread_.detach();
    } else {
      handOff_.ServeUntil([this] { return ended_.load(); });
      thread_.join();
    }
  }
  CloseDevice();
}

void TCommThread::CloseDevice() {
  if (deviceClosed_)
    return;
  deviceClosed_ = true;
  const bool drained = DrainOutputBounded(*device_, baud_);
  // A device that hung up takes no query; its queue count may read empty while nothing left.
  std::uint32_t queued = 0;
  outputDelivered_ = drained && device_->QueryAndClearErrors(queued) && !device_->OutputLost();
  device_->Close();
}

long TCommThread::Write(const char* data, std::size_t size) {
  return deviceClosed_ ? -1 : device_->Write(data, size);
}

long TCommThread::Read(char* data, std::size_t size) {
  return deviceClosed_ ? -1 : device_->Read(data, size);
}

void TCommThread::SetModemLine(TModemLine line, bool on) {
  if (!deviceClosed_)
    device_->SetModemLine(line, on);
}

void TCommThread::Execute() {
  ShieldCallingThreadFromSignals();
  // Best effort: where the system does not allow it the thread runs at normal priority.
  SetCallingThreadPriority(TThreadPriority::tpAboveNormal);
  try {
    while (!terminate_.load()) {
      const std::uint32_t modem = device_->ModemStatus();
      std::uint32_t mask = 0;
      const TWaitResult result = device_->WaitForEvents(mask);
      if (result == TWaitResult::wrStop) {
        SetCallingThreadPriority(TThreadPriority::tpLowest);
        terminate_.store(true);
        break;
      }
      if (result != TWaitResult::wrEvents)
        continue;
      eventMask_ = mask;
      modemStatusBeforeWait_ = modem;
      handOff_.RunOnMain([this] { Dispatch(); });
      if ((mask & evRXCHAR) && receiveGap_.count() > 0) {
        std::unique_lock<std::mutex> lock(gapMutex_);
        gapEnd_.wait_for(lock, receiveGap_, [this] { return terminate_.load(); });
      }
    }
  } catch (...) {
    // An event handler threw during the dispatch: the loop ends at once (the device was closed
    // on the main thread before the exception came back here).
  }
  ended_.store(true);
  handOff_.Notify();
}

void TCommThread::Dispatch() {
  ++inDispatch_;
  try {
    std::uint32_t queued = 0;
    // A failed query (device gone) gives no valid count, so nothing is read.
    const bool countValid = !deviceClosed_ && device_->QueryAndClearErrors(queued);
    std::uint32_t mask = eventMask_;
    if (mask & evRXCHAR) {
      // Copies: a handler may close the port, which detaches these while they run.
      if (countValid && receiveHandler_) {
        auto receive = receiveHandler_;
        receive(queued);
      }
      mask &= ~evRXCHAR;
    }
    if (mask != 0 && statusHandler_) {
      auto status = statusHandler_;
      status(mask, modemStatusBeforeWait_);
    }
  } catch (...) {
    --inDispatch_;
    terminate_.store(true);
    CloseDevice();
    throw;
  }
  --inDispatch_;
}

// ---------------------------------------------------------------------------------------------
// TComPort

TComPort::TComPort(THandOff handOff, TDeviceOpener opener)
    : handOff_(std::move(handOff)), opener_(std::move(opener)) {
  SetDTR(false);
  SetRTS(false);
}

TComPort::~TComPort() {
  Close();
}

void TComPort::Open() {
  if (active_)
    return;
  transmitFailed_ = false;
  hungUp_ = false;
  openError_.clear();
  devicePort_ = Port;
  devicePath_ = PortNames.DevicePath(Port);
  std::shared_ptr<TCommThread> thread;
  try {
    thread = TCommThread::Create(devicePath_, opener_, handOff_);
  } catch (const EComThreadError& e) {
    openError_ = (Port.empty() ? std::string() : PortAndDevice() + ": ") + e.what();
    if (auto onError = OnError)
      onError(*this);
    return;
  }
  thread->AttachHandlers([this](std::uint32_t count) { DataHandler(count); },
                         [this](std::uint32_t mask, std::uint32_t modem) { StatusHandler(mask, modem); });
  thread->ApplyLineSettings(Baud, DataBits, Parity, StopBits);
  thread->SetQueueSizes(WinQSizeIn, WinQSizeOut);
  thread->SetReceiveGap(ReceiveGap);
  thread->ResetEvents();
  active_ = true;
  try {
    thread->Start();
  } catch (const EComThreadError& e) {
    // No loop runs: close the device again and report it like a device that cannot be opened.
    openError_ = (Port.empty() ? std::string() : PortAndDevice() + ": ") + e.what();
    active_ = false;
    thread->AttachHandlers(nullptr, nullptr);
    thread->WaitForEndAndClose();
    if (auto onError = OnError)
      onError(*this);
    return;
  }
  thread_ = std::move(thread);
  if (auto onOpen = OnPortOpen)
    onOpen(*this);
}

void TComPort::Close() {
  if (!active_)
    return;
  active_ = false;
  std::shared_ptr<TCommThread> thread = std::move(thread_);
  thread_.reset();
  thread->AttachHandlers(nullptr, nullptr);
  thread->StopRequest();
  thread->WaitForEndAndClose();
  transmitFailed_ = transmitFailed_ || !thread->OutputDelivered();
  hungUp_ = hungUp_ || thread->HungUp();
  thread.reset();
  if (auto onClose = OnPortClose)
    onClose(*this);
}

void TComPort::SendString(const std::string& S) {
  if (active_ && thread_ && thread_->Write(S.data(), S.size()) != static_cast<long>(S.size()))
    transmitFailed_ = true;
}

void TComPort::SetDTR(bool State) {
  if (active_ && thread_)
    thread_->SetModemLine(TModemLine::mlDTR, State);
}

void TComPort::SetRTS(bool State) {
  if (active_ && thread_)
    thread_->SetModemLine(TModemLine::mlRTS, State);
}

std::string TComPort::PortAndDevice() const {
  // The last Open looked the name up already; looking up a pool number lists the ports.
  const std::string path = devicePort_ == Port ? devicePath_ : PortNames.DevicePath(Port);
  return path.empty() || path == Port ? Port : Port + " (" + path + ")";
}

std::string TComPort::Terminator() const {
  std::string text;
  for (const char c : terminator_)
    text += "#" + std::to_string(static_cast<unsigned char>(c));
  return text;
}

void TComPort::SetTerminator(std::string_view text) {
  std::string bytes;
  if (!text.empty())
    text.remove_prefix(1); // the first character is the leading "#", whatever it is
  while (!text.empty()) {
    const std::size_t hash = text.find('#');
    const std::string_view token = text.substr(0, hash);
    text = hash == std::string_view::npos ? std::string_view() : text.substr(hash + 1);
    const auto value = TryStrToInt(token);
    if (!value) {
      terminator_ = "\r\n";
      throw EComError("Illegal terminator string.\rformat : #<asciicode>#<asciicode>#<...>\rexample: #13#10");
    }
    bytes += static_cast<char>(static_cast<std::uint32_t>(*value) & 0xFF);
  }
  terminator_ = bytes.empty() ? std::string("\r\n") : bytes;
}

void TComPort::DataHandler(std::uint32_t count) {
  std::string data(count, '\0');
  if (count > 0) {
    const long n = thread_ ? thread_->Read(data.data(), count) : -1;
    // Deliver only bytes that were really read.
    data.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  if (!active_ || !ReceiveCallBack)
    return; // consumed and dropped
  auto receive = ReceiveCallBack;
  if (ReceiveMode == rmRAW) {
    receive(data);
    return;
  }
  pending_ += data;
  if (pending_.size() > kMaxPendingReceive)
    pending_.erase(0, pending_.size() - kMaxPendingReceive);
  const std::size_t at = pending_.find(terminator_);
  if (at == std::string::npos)
    return;
  const std::size_t length = at + terminator_.size();
  std::string message = pending_.substr(0, length);
  pending_.erase(0, length);
  receive(message);
}

void TComPort::StatusHandler(std::uint32_t eventMask, std::uint32_t modemStatus) {
  struct Line {
    std::uint32_t event;
    TStatusChanged TComPort::*handler;
    std::uint32_t onBit;
  };
  static constexpr Line kLines[] = {
      {evCTS, &TComPort::OnCTSChanged, msCTS_ON},
      {evDSR, &TComPort::OnDSRChanged, msDSR_ON},
      {evRLSD, &TComPort::OnRLSDChanged, msRLSD_ON},
      {evRING, &TComPort::OnRingChanged, msRING_ON},
  };
  for (const Line& line : kLines) {
    if (!(eventMask & line.event) || !(this->*line.handler))
      continue;
    auto handler = this->*line.handler;
    handler((modemStatus & line.onBit) == 0);
    if (!active_)
      return; // closed by the event: nothing more reaches the component
  }
  if ((eventMask & evERR) && OnError) {
    auto onError = OnError;
    onError(*this);
  }
}

} // namespace rv58
