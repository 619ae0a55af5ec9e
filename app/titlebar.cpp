#include "titlebar.h"

#include <QApplication>
#include <QMouseEvent>

namespace rv58 {

TTitleBar::TTitleBar(QWidget* parent) : QWidget(parent) {}

void TTitleBar::mousePressEvent(QMouseEvent* event) {
  // The move starts once the mouse travels with the button held: handing the press straight to
  // the window manager would swallow the second click of a double click.
  pressed_ = event->button();
  pressPos_ = event->position().toPoint();
  event->accept();
}

void TTitleBar::mouseMoveEvent(QMouseEvent* event) {
  if (pressed_ != Qt::NoButton && (event->buttons() & pressed_) &&
      (event->position().toPoint() - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
    const Qt::MouseButton button = pressed_;
    pressed_ = Qt::NoButton;
    emit MoveRequested(button);
  }
  event->accept();
}

void TTitleBar::mouseReleaseEvent(QMouseEvent* event) {
  pressed_ = Qt::NoButton;
  event->accept();
}

void TTitleBar::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    emit MaximizeRequested();
  }
  event->accept();
}

} // namespace rv58
