#pragma once
// Listening to a scale through TComPort: the line format of a candidate, and a whole search run
// on a real port by a program that may block (rv58ctl). The window runs the search step by step
// from its own timer instead.

#include "ComPort.h"
#include "scalesearch.h"

#include <functional>

namespace rv58 {

// Sets the component's speed and character format (takes effect at the next Open).
void SetLineFormat(TComPort& port, const TLineFormat& format);

// The line format of the pages' `bd` and `pr`.
TLineFormat LineFormatOf(const DisplaySettings& settings);

// Runs `search` on `port` (Port set by the caller): each candidate opened in raw receive mode,
// listened to until it has been heard well enough or its time is over, and closed. Gives up after
// `maxSeconds`, when `interrupted` says so or when the device hangs up (the port's HungUp() tells),
// with what was heard. Returns false when the port could not be opened at all.
bool RunSearchOnPort(TComPort& port, TLineSearch& search, double maxSeconds,
                     const std::function<bool()>& interrupted = {});

} // namespace rv58
