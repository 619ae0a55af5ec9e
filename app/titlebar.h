#pragma once

#include <QPoint>
#include <QWidget>

namespace rv58 {

// The title bar: asks its window to move when its bare surface is dragged, to maximise or
// restore on a double click. Pictures, title and buttons on it keep presses to themselves.
class TTitleBar : public QWidget {
  Q_OBJECT
public:
  explicit TTitleBar(QWidget* parent);

signals:
  // The mouse travelled with `button` held since the press on the bare surface.
  void MoveRequested(Qt::MouseButton button);
  // A double click with the left button.
  void MaximizeRequested();

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
  Qt::MouseButton pressed_ = Qt::NoButton;
  QPoint pressPos_;
};

} // namespace rv58
