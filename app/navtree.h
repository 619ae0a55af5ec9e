#pragma once

#include <QColor>
#include <QPersistentModelIndex>
#include <QTreeWidget>

#include <functional>

namespace rv58 {

// The navigation tree: whole-row items whose background the owner decides each time an item is
// drawn (selected, hot under the mouse), with the text and expand marks drawn on top.
class TNavigationTree : public QTreeWidget {
  Q_OBJECT
public:
  explicit TNavigationTree(QWidget* parent);

  // Asked for every item as it is drawn; empty: selected items on the palette's highlight.
  std::function<QColor(QTreeWidgetItem* item, bool selected, bool hot)> OnCustomDrawItem;

  // The item under the mouse, or none.
  QTreeWidgetItem* HotItem() const;

protected:
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
  void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  bool viewportEvent(QEvent* event) override;

private:
  void SetHot(const QModelIndex& index);

  QPersistentModelIndex hot_;
};

} // namespace rv58
