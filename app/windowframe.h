#pragma once

#include <QColor>
#include <QList>
#include <QRect>
#include <QSize>
#include <Qt>

namespace rv58 {

// Non-client hit-test results the frame distinguishes (the classic Windows codes, so the zones
// read the same as on the platform the tool comes from).
enum FrameHit : int {
  htDEFAULT = 0, // no resize zone: whatever the surface under the cursor does
  htLEFT = 10,
  htRIGHT = 11,
  htTOP = 12,
  htTOPLEFT = 13,
  htTOPRIGHT = 14,
  htBOTTOM = 15,
  htBOTTOMLEFT = 16,
  htBOTTOMRIGHT = 17,
};

// The resize zone of a point (x, y) of a window whose rectangle is left L, top T, right R and
// bottom B, with R and B one past the last pixel. Corners win over edges; the zone is 7 pixels
// deep, so the corners reach one pixel further from the left and top than from the right and
// bottom edges.
FrameHit FrameHitTest(int L, int T, int R, int B, int x, int y);

// The window edges a zone resizes (empty for htDEFAULT), and the cursor shown over it.
Qt::Edges FrameHitEdges(FrameHit hit);
Qt::CursorShape FrameHitCursor(FrameHit hit);

// Window frame colour RGB(0, 125, 184): frame, title bar, selected tree item.
inline QColor FrameColor() {
  return QColor(0, 125, 184);
}

// Background of a navigation tree item: the frame colour when selected, the window colour
// otherwise, silver while the mouse is over it whether it is selected or not.
QColor TreeItemBackground(bool selected, bool hot, const QColor& windowColor);

// Where a window with the outer rectangle `frame` goes: unchanged when any part of it lies on
// one of `screens`; otherwise moved (size kept) to the top-left corner of `primaryAvailable`,
// so a position stored on a monitor that is gone never leaves the window out of reach.
QRect KeepOnScreen(const QRect& frame, const QList<QRect>& screens, const QRect& primaryAvailable);

// A window is brought whole onto the available area of the screen it lands on (the one it overlaps
// most, else the first), moved the least that does it: a window that lies within is returned
// unchanged. A side longer than the area is cut to it, never below `minimum`, and starts at the
// area's edge, so the title bar's buttons stay in reach.
QRect FitToScreen(const QRect& frame, const QList<QRect>& available, const QSize& minimum);

} // namespace rv58
