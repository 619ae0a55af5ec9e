#include "navtree.h"

#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>

namespace rv58 {

TNavigationTree::TNavigationTree(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setFrameShape(QFrame::NoFrame);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setIndentation(19);
  setRootIsDecorated(true);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

QTreeWidgetItem* TNavigationTree::HotItem() const {
  return hot_.isValid() ? itemFromIndex(hot_) : nullptr;
}

void TNavigationTree::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  QTreeWidgetItem* item = itemFromIndex(index);
  const bool selected = selectionModel() != nullptr && selectionModel()->isSelected(index);
  const bool hot = hot_.isValid() && QModelIndex(hot_) == index;
  QColor background = selected ? palette().color(QPalette::Highlight) : palette().color(QPalette::Base);
  if (OnCustomDrawItem) {
    background = OnCustomDrawItem(item, selected, hot);
  }
  const QRect row(0, option.rect.top(), viewport()->width(), option.rect.height());
  painter->fillRect(row, background);

  const QRect itemRect = visualRect(index);
  if (item != nullptr && item->childCount() > 0) {
    // Expand mark in the indentation column left of the text: a small triangle.
    const QRect mark(itemRect.left() - indentation(), row.top(), indentation(), row.height());
    const QPointF c = QRectF(mark).center();
    QPolygonF triangle;
    if (item->isExpanded()) {
      triangle << c + QPointF(-4, -2) << c + QPointF(4, -2) << c + QPointF(0, 3);
    } else {
      triangle << c + QPointF(-2, -4) << c + QPointF(3, 0) << c + QPointF(-2, 4);
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(selected && !hot ? palette().color(QPalette::HighlightedText) : QColor(96, 96, 96));
    painter->drawPolygon(triangle);
    painter->restore();
  }
  // The text colour stays the system's: highlight text on a selected item, window text otherwise.
  painter->save();
  painter->setFont(font());
  painter->setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
  const QRect textRect(itemRect.left() + 3, row.top(), row.right() - itemRect.left() - 3, row.height());
  painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    item != nullptr ? item->text(0) : QString());
  painter->restore();
}

void TNavigationTree::drawBranches(QPainter*, const QRect&, const QModelIndex&) const {
  // drawRow paints the whole row, expand marks included.
}

void TNavigationTree::mouseMoveEvent(QMouseEvent* event) {
  SetHot(indexAt(event->position().toPoint()));
  QTreeWidget::mouseMoveEvent(event);
}

void TNavigationTree::focusInEvent(QFocusEvent* event) {
  QTreeWidget::focusInEvent(event);
  // Taking the focus with nothing selected makes the first node current but leaves it unmarked;
  // select it, so the node of the page shown is drawn as the selection.
  if (selectionModel() != nullptr && !selectionModel()->hasSelection() && currentIndex().isValid()) {
    selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
}

bool TNavigationTree::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Leave) {
    SetHot(QModelIndex());
  }
  return QTreeWidget::viewportEvent(event);
}

void TNavigationTree::SetHot(const QModelIndex& index) {
  if (QModelIndex(hot_) == index) {
    return;
  }
  hot_ = index;
  viewport()->update();
}

} // namespace rv58
