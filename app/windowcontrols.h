#pragma once

#include <QGroupBox>
#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

class QButtonGroup;
class QRadioButton;

namespace rv58 {

// A framed group of radio buttons chosen by index, as the window's radio groups behave: an index
// below -1 chooses nothing, one past the last button chooses the last.
class TRadioGroup : public QGroupBox {
  Q_OBJECT
public:
  TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent);

  int ItemIndex() const;
  void SetItemIndex(int index);
  int Count() const { return static_cast<int>(buttons_.size()); }
  QRadioButton* Button(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  void PlaceButtons();

  QButtonGroup* group_;
  std::vector<QRadioButton*> buttons_;
};

// Which edges of its container a control keeps its distance to when the container changes
// size. Left and right together stretch the control; right alone moves it; likewise vertically.
enum TAnchor : unsigned {
  akLeft = 1,
  akTop = 2,
  akRight = 4,
  akBottom = 8,
};

// Keeps the controls of one container at their designed distances from the anchored edges.
class TAnchors : public QObject {
  Q_OBJECT
public:
  // `designed` is the container's size the controls' positions are given for.
  TAnchors(QWidget* container, QSize designed);

  // Places `control` at `rect` (for the designed size) and keeps it anchored from now on.
  void Place(QWidget* control, QRect rect, unsigned anchors = akLeft | akTop, int minWidth = 0);
  void Apply();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  struct Entry {
    QWidget* control;
    QRect rect;
    unsigned anchors;
    int minWidth;
  };
  QWidget* container_;
  QSize designed_;
  std::vector<Entry> entries_;
};

// The pictures the window draws itself, white on the frame colour where they sit on the title bar.
QPixmap ProgramPicture();          // 31 x 24: gear with an upward arrow
QIcon TitleButtonIcon(char which); // 22 x 22: 'n' bar, 'x' window outline, 'c' cross
QIcon TrayIcon(bool arrowUp);      // 32 x 32: tray with an arrow up (open) or down (save)

} // namespace rv58
