#pragma once
// Finding how a scale talks: first the line format (speed and character format), by listening at
// each candidate for a bounded time, then the frame settings from the frames heard at the winner
// during a last, longer listening. The search only decides; a driver (TSearchRun, or
// RunSearchOnLine on the line simulator) opens the port at `Current()`, feeds what arrives, and
// moves on when `Enough()` says so or `ListenTime()` is over.

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
  std::string key; // the settings file's key: "tm", "kr", "le", "lh", "nm", "tp", "bt", "hk"
  std::int32_t value = 0;
  std::vector<std::size_t> frames;
};

// The frame settings that a run of received bytes suggests.
struct TFrameAnalysis {
  bool found = false;              // a frame structure with a weight in most frames
  std::vector<std::string> frames; // the complete frames heard, cut at the found `tm`
  FrameSettings settings;          // tm, kr, le, lh, nm, tp, bt, hk found; the rest as given
  std::vector<TSuggestion> suggestions;
  // One Hungarian line each (UTF-8): what the display cannot show of this format, and the risks.
  std::vector<std::string> notes;
};

// Finds the frames by their structure (a byte that recurs once per frame, whatever it is, with no
// reliance on pauses), the weight by its behaviour (the numeric field at a fixed place that changes
// with the load, not a tare, a count, a decimal-count digit or a checksum), and the settings that
// show it: `tm` ends the frame, `le`/`lh` fit the most frames, a sign column is kept, `bt` gives
// room for the widest text, `hk` marks the error frames. `gaps` are the indices of bytes that came
// after a pause on the line (they tell where a frame ends when start and end characters look
// alike). `base` gives the rest, and the `hk` kept when no error frame was heard.
TFrameAnalysis AnalyseFrames(std::string_view received, const FrameSettings& base = {},
                             const std::vector<std::size_t>& gaps = {});

enum class TSearchOutcome : std::uint8_t {
  soFOUND,
  soNODATA,   // nothing arrived at any candidate
  soGARBLED,  // bytes arrived, but no line format read them without errors
  soNOFRAMES, // clean bytes, but no frame structure in them
};

// Why a search found nothing, as the user is told (Hungarian, UTF-8, starts with the reason).
const char* OutcomeText(TSearchOutcome outcome);

struct TSearchResult {
  TSearchOutcome outcome = TSearchOutcome::soNODATA;
  TLineFormat format;                  // the winner (when found)
  std::optional<TLineFormat> runnerUp; // a second candidate that did as well
  TFrameAnalysis frames;
};

class TLineSearch {
public:
  explicit TLineSearch(FrameSettings base = {});

  bool Done() const { return done_; }
  // The candidate to listen to now (meaningless when done).
  const TLineFormat& Current() const { return current_; }
  // Seconds the current candidate is listened to at most (it may grow with what is heard): a
  // scale that sends 2 frames a second sends two whole frames in that time wherever the listening
  // starts; the winner is then heard longer for its frames.
  double ListenTime() const;
  // What arrived at the current candidate: bytes and the number of line-error reports, `now`
  // seconds after it was opened. A port opened in the middle of a character misreads what
  // follows for a while, so the first characters are not judged.
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
    std::vector<std::size_t> gaps; // indices into bytes that came after a pause
    unsigned errors = 0;
    double score = 0;
    double share = 0;
    bool structure = false;
    bool synced = false;
    double firstActivity = -1; // seconds after the opening
    double lastActivity = 0;
    std::size_t rawBytes = 0; // everything that arrived, judged or not
    unsigned rawErrors = 0;
    bool Clean() const { return errors == 0; }
  };
  enum { phSPEED = 1, phFORMAT = 2, phFRAMES = 3 };
  const TFrameAnalysis& Analysis() const; // of heard_, kept while little is added
  void StartPhase2();
  void Decide();
  void Finish(std::optional<TFrameAnalysis> frames);
  void Listen(const TLineFormat& format);

  FrameSettings base_;
  bool done_ = false;
  int phase_ = phSPEED;
  std::size_t index_ = 0;
  TLineFormat current_;
  Heard heard_;
  std::vector<Heard> speeds_;  // phase 1 results, one per speed
  std::vector<Heard> formats_; // phase 2 results
  std::vector<std::uint32_t> speedOrder_;
  std::vector<std::int32_t> formatOrder_;
  std::vector<std::uint32_t> tested_; // speeds whose formats were tried
  bool retried_ = false;              // the current format is heard a second time
  std::optional<Heard> winner_;       // the format chosen, before its frames are heard
  std::optional<TLineFormat> runnerUp_;
  TSearchResult result_;
  mutable TFrameAnalysis analysis_;
  mutable std::size_t analysedBytes_ = 0;
  mutable bool analysed_ = false;
};

// Runs a whole search against a simulated line from `start`, as a port would: each candidate
// opened afresh (`reopen` seconds), read in steps of `step` seconds, a step with any line error
// counting as one report. Returns the time at which the search ended.
double RunSearchOnLine(TLineSearch& search, const TBitStream& line, double start, double reopen = 0.02,
                       double step = 0.05);

} // namespace rv58
