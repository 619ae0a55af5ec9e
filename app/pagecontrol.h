#pragma once

#include <QWidget>

#include <vector>

namespace rv58 {

// A page control without a tab row: one page shown at a time, every page laid 4 pixels inside
// the control's edges (where the page control's own border would be), all pages resized together
// so a hidden page is laid out before it is shown.
class TPageControl : public QWidget {
  Q_OBJECT
public:
  explicit TPageControl(QWidget* parent);

  int AddPage(QWidget* page);
  int count() const { return static_cast<int>(pages_.size()); }
  int currentIndex() const { return current_; }
  QWidget* currentWidget() const;
  QWidget* widget(int index) const;
  void setCurrentIndex(int index);

signals:
  void currentChanged(int index);

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  std::vector<QWidget*> pages_;
  int current_ = -1;
};

} // namespace rv58
