#pragma once
// A fake serial device behind the device interface, for what pseudo-terminals cannot show: modem
// lines, line errors, output that takes time on the wire, a far end that never takes its bytes,
// refused settings, a device that vanishes. Everything it is asked is recorded.

#include "comdevice.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace rv58::test {

class TFakeComDevice : public TComDevice {
public:
  using Clock = std::chrono::steady_clock;

  // --- the far end and the test ---
  // Bytes arrive from the line (raises the receive event).
  void Inject(const std::string& bytes);
  // The modem lines change to `status` (ms* bits); raises the change event of every line that
  // changed, as the Linux back-end does.
  void SetModemLines(std::uint32_t status);
  // A framing, parity or overrun error on the line.
  void RaiseLineError();
  // The output line stops taking bytes (a stuck far end) or runs again.
  void SetOutputStuck(bool stuck);
  // The device disappears: queries fail, writes and reads have no effect.
  void Vanish();
  // Refuse every SetLine from now on.
  void RefuseLineSettings(bool refuse);
  // Waits until the reader thread is blocked in WaitForEvents (its modem sample is then taken).
  bool WaitUntilWaiting(std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // --- what happened ---
  std::vector<TLineSettings> LineSettingsApplied() const;
  TLineSettings LineInForce() const;
  std::vector<std::string> Writes() const;
  // Bytes that left on the wire (all of them when pacing is off).
  std::string Sent() const;
  std::vector<std::pair<TModemLine, bool>> ModemLineCalls() const;
  int PurgeCount() const;
  int DiscardCount() const;
  int WaitCount() const;
  bool Closed() const;
  bool StopRequested() const;
  Clock::time_point ClosedAt() const;

  // --- the device interface ---
  bool SetLine(const TLineSettings& settings) override;
  bool SetQueueSizes(std::uint32_t in, std::uint32_t out) override;
  void Purge() override;
  bool SetModemLine(TModemLine line, bool on) override;
  long Write(const char* data, std::size_t size) override;
  long Read(char* data, std::size_t size) override;
  bool QueryAndClearErrors(std::uint32_t& queued) override;
  std::size_t OutputQueued() override;
  void DiscardOutput() override;
  bool OutputLost() override { return outputLost; }
  std::uint32_t ModemStatus() override;
  TWaitResult WaitForEvents(std::uint32_t& mask) override;
  void ResetEvents() override;
  void RequestStop() override;
  void Close() override;

  // Pacing: when on, each byte needs 10 bit times at the baud in force (as on a real UART).
  bool pacing = true;
  // A loop-back plug: DTR drives DSR and RTS drives CTS (a change raises its event).
  bool loopBack = false;
  // The reader thread's nice value at its first wait (its priority while waiting); on Windows its
  // priority level.
  int NiceInFirstWait() const;

  // A write takes at most this many bytes (a driver whose buffer is full).
  std::size_t acceptAtMost = SIZE_MAX;
  // A write the device took in full failed later in the background (as Windows reports it).
  bool outputLost = false;

private:
  void Advance(Clock::time_point now);         // moves bytes whose time has come from queue to sent
  void ChangeModemLines(std::uint32_t status); // with m_ held

  mutable std::mutex m_;
  std::condition_variable cv_;
  std::vector<TLineSettings> applied_;
  TLineSettings line_{9600, 8, 2, 0};
  bool refuse_ = false;
  std::vector<std::string> writes_;
  std::deque<std::pair<Clock::time_point, char>> outQueue_; // byte and when it has left
  std::string sent_;
  bool stuck_ = false;
  std::string input_;
  std::uint32_t modem_ = 0;
  std::uint32_t events_ = 0;
  std::vector<std::pair<TModemLine, bool>> modemCalls_;
  int purges_ = 0;
  int discards_ = 0;
  int waits_ = 0;
  int niceInFirstWait_ = 0;
  bool waiting_ = false;
  bool vanished_ = false;
  bool closed_ = false;
  bool stop_ = false;
  Clock::time_point closedAt_{};
};

} // namespace rv58::test
