#pragma once
// The scale monitor's list of the last frames, one per line: the characters that the cuts remove
// struck through in grey, the shown part in bold, the terminator in grey, then the display's
// text; invalid frames grey, error frames red.

#include "scalemodel.h"

#include <QTextCharFormat>
#include <QTextEdit>

#include <deque>
#include <vector>

namespace rv58 {

class TFrameList : public QTextEdit {
  Q_OBJECT
public:
  explicit TFrameList(QWidget* parent = nullptr);

  // Shows these frames. Lines already on screen stay as they are: a scale that keeps sending the
  // same weight, or frames that only scroll up, cost a layout of the new lines alone.
  void ShowFrames(const std::deque<DisplayFrame>& frames);

private:
  enum TStyle { stPlain, stCut, stShown, stTerminator, stNoFit, stError, stErrorBold, stInvalid, stCount };
  struct TRun {
    QString text;
    TStyle style;
    bool operator==(const TRun&) const = default;
  };
  using TLine = std::vector<TRun>;

  static TLine LineOf(const DisplayFrame& frame);

  std::vector<TLine> shown_;
  QTextCharFormat formats_[stCount];
};

} // namespace rv58
