#include "windowframe.h"

#include <algorithm>
#include <utility>

namespace rv58 {

FrameHit FrameHitTest(int L, int T, int R, int B, int x, int y) {
  const int dl = x - L;
  const int dr = R - x;
  const int dt = y - T;
  const int db = B - y;
  constexpr int kZone = 7;
  if (dt < kZone && dl < kZone) {
    return htTOPLEFT;
  }
  if (dt < kZone && dr < kZone) {
    return htTOPRIGHT;
  }
  if (db < kZone && dl < kZone) {
    return htBOTTOMLEFT;
  }
  if (db < kZone && dr < kZone) {
    return htBOTTOMRIGHT;
  }
  if (dt < kZone) {
    return htTOP;
  }
  if (dl < kZone) {
    return htLEFT;
  }
  if (db < kZone) {
    return htBOTTOM;
  }
  if (dr < kZone) {
    return htRIGHT;
  }
  return htDEFAULT;
}

Qt::Edges FrameHitEdges(FrameHit hit) {
  switch (hit) {
  case htLEFT:
    return Qt::LeftEdge;
  case htRIGHT:
    return Qt::RightEdge;
  case htTOP:
    return Qt::TopEdge;
  case htBOTTOM:
    return Qt::BottomEdge;
  case htTOPLEFT:
    return Qt::TopEdge | Qt::LeftEdge;
  case htTOPRIGHT:
    return Qt::TopEdge | Qt::RightEdge;
  case htBOTTOMLEFT:
    return Qt::BottomEdge | Qt::LeftEdge;
  case htBOTTOMRIGHT:
    return Qt::BottomEdge | Qt::RightEdge;
  case htDEFAULT:
    break;
  }
  return {};
}

Qt::CursorShape FrameHitCursor(FrameHit hit) {
  switch (hit) {
  case htLEFT:
  case htRIGHT:
    return Qt::SizeHorCursor;
  case htTOP:
  case htBOTTOM:
    return Qt::SizeVerCursor;
  case htTOPLEFT:
  case htBOTTOMRIGHT:
    return Qt::SizeFDiagCursor;
  case htTOPRIGHT:
  case htBOTTOMLEFT:
    return Qt::SizeBDiagCursor;
  case htDEFAULT:
    break;
  }
  return Qt::ArrowCursor;
}

QColor TreeItemBackground(bool selected, bool hot, const QColor& windowColor) {
  QColor color = selected ? FrameColor() : windowColor;
  if (hot) {
    color = QColor(192, 192, 192);
  }
  return color;
}

QRect KeepOnScreen(const QRect& frame, const QList<QRect>& screens, const QRect& primaryAvailable) {
  for (const QRect& screen : screens) {
    if (screen.intersects(frame)) {
      return frame;
    }
  }
  QRect moved = frame;
  moved.moveTopLeft(primaryAvailable.topLeft());
  return moved;
}

QRect FitToScreen(const QRect& frame, const QList<QRect>& available, const QSize& minimum) {
  if (available.isEmpty()) {
    return frame;
  }
  QRect screen = available.constFirst();
  qint64 best = 0;
  for (const QRect& area : available) {
    const QRect common = area.intersected(frame);
    const qint64 size = qint64(common.width()) * common.height();
    if (size > best) {
      best = size;
      screen = area;
    }
  }
  // One side: moved into the area, or cut to it (not below the minimum) when longer.
  const auto fit = [](int pos, int length, int areaPos, int areaLength, int least) {
    if (length <= areaLength) {
      return std::pair{std::clamp(pos, areaPos, areaPos + areaLength - length), length};
    }
    return std::pair{areaPos, std::max(areaLength, least)};
  };
  const auto [x, w] = fit(frame.x(), frame.width(), screen.x(), screen.width(), minimum.width());
  const auto [y, h] = fit(frame.y(), frame.height(), screen.y(), screen.height(), minimum.height());
  return QRect(x, y, w, h);
}

} // namespace rv58
