#pragma once
// Finding how a scale talks: first the line format (speed and character format), by listening at
// each candidate for a bounded time, then the frame settings from a handful of frames heard at
// the winner. The search only decides; whoever runs it opens the port at `Current()`, feeds what
// arrives, and moves on when `Enough()` says so or the listen time is over.

#include "linesim.h"
#include "scalemodel.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rv58 {

// One suggested setting and the frames (indices into TFrameAnalysis::frames) that show why.
struct TSuggestion {
  std::string key; // the settings file's key: "tm", "kr", "le", "lh", "nm", "tp"
  std::int32_t value = 0;
  std::vector<std::size_t> frames;
};

// The frame settings that a run of received bytes suggests.
struct TFrameAnalysis {
  bool found = false; // at least two complete frames with a common terminator, most with a weight
  std::vector<std::string> frames; // the complete frames used, terminator included
  FrameSettings settings;          // tm, kr, le, lh, nm, tp found; the rest as given
  std::vector<TSuggestion> suggestions;
};

// Cuts `received` into frames and derives tm (the byte that ends every frame: with CR LF it is LF,
// and the CR is cut by lh), kr (= tm), le and lh (the constant text around the weight; a sign is
// kept only when it varies, blanks are kept as far as the display's width allows), nm (on when the
// weight has leading zeros) and tp (the scale's own decimal places). `base` gives bt and the rest.
TFrameAnalysis AnalyseFrames(std::string_view received, const FrameSettings& base = {});

enum class TSearchOutcome : std::uint8_t { soFOUND, soNODATA, soUNUSABLE };

struct TSearchResult {
  TSearchOutcome outcome = TSearchOutcome::soNODATA;
  TLineFormat format;                  // the winner (when found)
  std::optional<TLineFormat> runnerUp; // a second candidate that did as well
  TFrameAnalysis frames;
};

class TLineSearch {
public:
  // Seconds a candidate is listened to at most: a scale that sends 2 frames a second sends two
  // whole frames in that time wherever the listening starts (a slow line needs longer for them).
  static double ListenSeconds(const TLineFormat& format);

  explicit TLineSearch(FrameSettings base = {});

  bool Done() const { return done_; }
  // The candidate to listen to now (meaningless when done).
  const TLineFormat& Current() const { return current_; }
  // What arrived at the current candidate: bytes and the number of line-error reports, `now`
  // seconds after it was opened. A port opened in the middle of a frame misreads it, so what
  // comes before the first quiet moment on the line is not judged.
  void Feed(std::string_view bytes, unsigned lineErrors, double now);
  // True when the current candidate has been heard well enough to judge it before its time.
  bool Enough() const;
  // The current candidate's listening is over: judge it and choose the next one.
  void Next();
  // Stops the search now, with what was heard so far.
  void Stop();
  // 0 to 1, an estimate of the search's progress.
  double Progress() const;
  TSearchResult Result() const;

private:
  struct Heard {
    TLineFormat format;
    std::string bytes;
    unsigned errors = 0;
    double score = 0;
    bool synced = false;      // a quiet moment has passed since the opening
    double lastActivity = 0;  // seconds after the opening
    std::size_t rawBytes = 0; // everything that arrived, judged or not
    unsigned rawErrors = 0;
  };
  void StartPhase2();
  void Finish();

  FrameSettings base_;
  bool done_ = false;
  int phase_ = 1;
  std::size_t index_ = 0;
  TLineFormat current_;
  Heard heard_;
  std::vector<Heard> speeds_;  // phase 1 results, one per speed
  std::vector<Heard> formats_; // phase 2 results
  std::vector<std::uint32_t> speedOrder_;
  std::vector<std::int32_t> formatOrder_;
  std::vector<std::uint32_t> tested_; // speeds whose formats were tried
  TSearchResult result_;
};

// Runs a whole search against a simulated line from `start`, as a port would: each candidate
// opened afresh (`reopen` seconds), read in steps of `step` seconds, a step with any line error
// counting as one report. Returns the time at which the search ended.
double RunSearchOnLine(TLineSearch& search, const TBitStream& line, double start, double reopen = 0.02,
                       double step = 0.05);

} // namespace rv58
