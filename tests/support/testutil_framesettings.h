#pragma once

// Frame settings for a test in one line, in the order the settings file lists them.
#include "scalemodel.h"

namespace rv58::test {

inline FrameSettings FrameSettingsOf(int tm, int kr, int le, int lh, bool nm, int tp, int bt = 0,
                                     int hk = -1) {
  FrameSettings s;
  s.tm = tm;
  s.kr = kr;
  s.le = le;
  s.lh = lh;
  s.nm = nm;
  s.tp = tp;
  s.bt = bt;
  s.hk = hk;
  return s;
}

} // namespace rv58::test
