#pragma once
// Synthetic continuous outputs of weighing indicators, one per class of what real ones send:
// status bytes, identifiers, gross/net marks, a tare or count after the weight, a decimal-count
// digit, hex and binary checksums, start and end characters or none, sign columns of every kind,
// blank padding, a decimal comma, overload and underload marks, frames back to back. Each has the
// text the display must give for every frame, with the best settings that can be made by hand.
// Shared by the corpus test and the search benchmark.

#include "linesim.h"
#include "scalemodel.h"

#include <string>
#include <vector>

namespace rv58::corpus {

struct TFrame {
  std::string bytes;
  std::string shown; // the display's text ("ERROR" for an error frame), leading blanks aside
};

struct TFormat {
  std::string name;
  TLineFormat line;
  double period = 0.5;        // seconds from one frame's start to the next; 0 sends them back to back
  std::vector<TFrame> frames; // one cycle of the scale's output
  FrameSettings best;         // made by hand from the frames
  std::string note;           // a word the detection's notes must hold ("" for none)
  // 1 when a frame's weight is shown as the next frame begins (a start character and no end).
  int lag = 0;
};

const std::vector<TFormat>& Formats();

// The scale sending its cycle over and over from 13 ms on, for `seconds`, at `line`'s speed and
// format (a period too short for a frame at that speed sends back to back).
TBitStream Send(const TFormat& format, const TLineFormat& line, double seconds);

// The frames of two cycles cut as the display would with `settings`, shown after the first cycle:
// how many of the last cycle's frames give the text they must (leading blanks aside, fitting the
// display).
int FramesShownRight(const TFormat& format, const FrameSettings& settings);

} // namespace rv58::corpus
