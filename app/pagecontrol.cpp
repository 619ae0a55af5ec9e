#include "pagecontrol.h"

namespace rv58 {

namespace {
constexpr int kBorder = 4;
}

TPageControl::TPageControl(QWidget* parent) : QWidget(parent) {}

int TPageControl::AddPage(QWidget* page) {
  page->setParent(this);
  page->setGeometry(kBorder, kBorder, std::max(0, width() - 2 * kBorder),
                    std::max(0, height() - 2 * kBorder));
  page->setVisible(pages_.empty());
  pages_.push_back(page);
  if (current_ < 0) {
    current_ = 0;
  }
  return count() - 1;
}

QWidget* TPageControl::currentWidget() const {
  return widget(current_);
}

QWidget* TPageControl::widget(int index) const {
  return index >= 0 && index < count() ? pages_[static_cast<std::size_t>(index)] : nullptr;
}

void TPageControl::setCurrentIndex(int index) {
  if (index < 0 || index >= count() || index == current_) {
    return;
  }
  QWidget* old = currentWidget();
  current_ = index;
  currentWidget()->show();
  if (old != nullptr) {
    old->hide();
  }
  emit currentChanged(index);
}

void TPageControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  for (QWidget* page : pages_) {
    page->setGeometry(kBorder, kBorder, std::max(0, width() - 2 * kBorder),
                      std::max(0, height() - 2 * kBorder));
  }
}

} // namespace rv58
