#pragma once
// Listening to a scale through TComPort: the line format of a candidate, one search run driven step
// by step (the window polls it from its timer, rv58ctl between waits for the port), and what a
// search found put into the settings.

#include "ComPort.h"
#include "scalesearch.h"

#include <chrono>

namespace rv58 {

// Sets the component's speed and character format (takes effect at the next Open).
void SetLineFormat(TComPort& port, const TLineFormat& format);

// The line format of the pages' `bd` and `pr`.
TLineFormat LineFormatOf(const DisplaySettings& settings);

// The keys a search decides, from a found result into `settings`: bd, pr, tm, kr, le, lh, nm, tp,
// bt, hk. The rest stays.
void ApplyDetection(const TSearchResult& result, DisplaySettings& settings);

// One search on `port` (Port set by the caller, kept alive for the run): each candidate opened in
// raw receive mode, listened to until it has been heard well enough or its time is over, closed.
class TSearchRun {
public:
  TSearchRun(TComPort& port, TLineSearch& search) : port_(port), search_(search) {}
  ~TSearchRun();
  TSearchRun(const TSearchRun&) = delete;
  TSearchRun& operator=(const TSearchRun&) = delete;

  // Opens the next candidate, or closes the current one when it has been heard. Returns whether
  // the search goes on; between polls the port's hand-offs must be served.
  bool Poll();
  // True when a poll has something to do (the current candidate is over, or none is open).
  bool Due() const;
  // Stops the search now, with what was heard so far.
  void Stop();
  // The port could not be opened at all (a port that went away during the run stops it instead).
  bool PortFailed() const { return portFailed_; }

private:
  using Clock = std::chrono::steady_clock;
  double Since() const;
  void Close();

  TComPort& port_;
  TLineSearch& search_;
  bool open_ = false;
  bool everOpened_ = false;
  bool portFailed_ = false;
  Clock::time_point opened_;
};

} // namespace rv58
