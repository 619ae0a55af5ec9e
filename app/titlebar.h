#pragma once

#include <QPoint>
#include <QWidget>

namespace rv58 {

class Trvform;

// The title bar: moves the window when its bare surface is pressed, maximises or restores on a
// double click. Pictures, title and buttons on it keep presses to themselves.
class TTitleBar : public QWidget {
  Q_OBJECT
public:
  explicit TTitleBar(Trvform* form);

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
  Trvform* form_;
  Qt::MouseButton pressed_ = Qt::NoButton;
  QPoint pressPos_;
};

} // namespace rv58
