#include "windowcontrols.h"

#include "windowframe.h"

#include <QButtonGroup>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QtMath>

#include <algorithm>

namespace rv58 {

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
  group_->setExclusive(true);
  int id = 0;
  for (const QString& item : items) {
    auto* button = new QRadioButton(item, this);
    group_->addButton(button, id++);
    buttons_.push_back(button);
  }
  PlaceButtons();
}

int TRadioGroup::ItemIndex() const {
  return group_->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
  index = std::clamp(index, -1, Count() - 1);
  if (index < 0) {
    // An exclusive group never lets its last button go; lift that for the moment.
    group_->setExclusive(false);
    for (QRadioButton* button : buttons_) {
      button->setChecked(false);
    }
    group_->setExclusive(true);
    return;
  }
  Button(index)->setChecked(true);
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  PlaceButtons();
}

void TRadioGroup::PlaceButtons() {
  // The buttons share the height below the caption evenly, as a classic radio group spreads them.
  if (buttons_.empty()) {
    return;
  }
  const int top = title().isEmpty() ? 4 : fontMetrics().height() + 2;
  const int available = std::max(0, height() - top - 4);
  const int row = available / static_cast<int>(buttons_.size());
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    const int h = buttons_[i]->sizeHint().height();
    const int y = top + static_cast<int>(i) * row + (row - h) / 2;
    buttons_[i]->setGeometry(8, y, std::max(0, width() - 16), h);
  }
}

TAnchors::TAnchors(QWidget* container, QSize designed)
    : QObject(container), container_(container), designed_(designed) {
  container->installEventFilter(this);
}

void TAnchors::Place(QWidget* control, QRect rect, unsigned anchors, int minWidth) {
  entries_.push_back({control, rect, anchors, minWidth});
  Apply();
}

void TAnchors::Apply() {
  const int dx = container_->width() - designed_.width();
  const int dy = container_->height() - designed_.height();
  for (const Entry& e : entries_) {
    QRect r = e.rect;
    if (e.anchors & akRight) {
      if (e.anchors & akLeft) {
        r.setWidth(std::max(e.minWidth, r.width() + dx));
      } else {
        r.moveLeft(r.left() + dx);
      }
    }
    if (e.anchors & akBottom) {
      if (e.anchors & akTop) {
        r.setHeight(std::max(0, r.height() + dy));
      } else {
        r.moveTop(r.top() + dy);
      }
    }
    e.control->setGeometry(r);
  }
}

bool TAnchors::eventFilter(QObject* watched, QEvent* event) {
  if (watched == container_ && event->type() == QEvent::Resize) {
    Apply();
  }
  return QObject::eventFilter(watched, event);
}

namespace {

QPixmap BlankPixmap(int w, int h, const QColor& fill) {
  QPixmap pixmap(w, h);
  pixmap.fill(fill);
  return pixmap;
}

} // namespace

QPixmap ProgramPicture() {
  QPixmap pixmap = BlankPixmap(31, 24, FrameColor());
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  // Gear: a ring of eight teeth around a hub, with a hole of the background colour.
  const QPointF centre(11.5, 13.5);
  QPainterPath gear;
  for (int i = 0; i < 8; ++i) {
    const qreal angle = i * M_PI / 4;
    const QPointF tooth = centre + QPointF(qCos(angle) * 8.5, qSin(angle) * 8.5);
    gear.addEllipse(tooth, 2.2, 2.2);
  }
  gear.addEllipse(centre, 7.5, 7.5);
  p.drawPath(gear.simplified());
  p.setBrush(FrameColor());
  p.drawEllipse(centre, 3.0, 3.0);
  // Upward arrow at the right.
  p.setBrush(Qt::white);
  QPolygonF head;
  head << QPointF(25.5, 1) << QPointF(30.5, 8) << QPointF(20.5, 8);
  p.drawPolygon(head);
  p.drawRect(QRectF(24, 8, 3, 14));
  return pixmap;
}

QIcon TitleButtonIcon(char which) {
  QPixmap pixmap(22, 22);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setPen(QPen(Qt::white, 1.5));
  switch (which) {
  case 'n':
    p.fillRect(QRect(5, 15, 12, 2), Qt::white);
    break;
  case 'x':
    p.drawRect(QRectF(5.5, 5.5, 11, 11));
    p.fillRect(QRect(5, 5, 12, 2), Qt::white);
    break;
  default:
    p.setRenderHint(QPainter::Antialiasing);
    p.drawLine(QPointF(6, 6), QPointF(16, 16));
    p.drawLine(QPointF(16, 6), QPointF(6, 16));
    break;
  }
  return QIcon(pixmap);
}

QIcon TrayIcon(bool arrowUp) {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  // Tray: an open box at the bottom.
  p.setPen(QPen(QColor(60, 60, 60), 2));
  p.setBrush(QColor(220, 220, 220));
  QPolygonF tray;
  tray << QPointF(3, 19) << QPointF(9, 19) << QPointF(11, 23) << QPointF(21, 23) << QPointF(23, 19)
       << QPointF(29, 19) << QPointF(29, 29) << QPointF(3, 29);
  p.drawPolygon(tray);
  // Arrow.
  p.setPen(Qt::NoPen);
  p.setBrush(FrameColor());
  QPolygonF arrow;
  if (arrowUp) {
    arrow << QPointF(16, 1) << QPointF(24, 9) << QPointF(19, 9) << QPointF(19, 19) << QPointF(13, 19)
          << QPointF(13, 9) << QPointF(8, 9);
  } else {
    arrow << QPointF(13, 1) << QPointF(19, 1) << QPointF(19, 11) << QPointF(24, 11) << QPointF(16, 19)
          << QPointF(8, 11) << QPointF(13, 11);
  }
  p.drawPolygon(arrow);
  return QIcon(pixmap);
}

} // namespace rv58
