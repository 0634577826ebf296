#include "desktop/shell/color_list.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "desktop/shell/search_occurrences.h"

namespace mirvale {
namespace {

class ColorListDelegate : public QStyledItemDelegate {
 public:
  explicit ColorListDelegate(CColorListCtrl& list) : QStyledItemDelegate(&list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const QWidget* widget = item.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // Where the list drew the cell's text, so what is drawn over it lines up exactly.
    QRect label = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    label.adjust(margin, 0, -margin, 0);
    const QString text = index.data(Qt::DisplayRole).toString();
    const int row = index.parent().isValid() ? -1 : index.row();
    const int column = index.column();

    painter->save();
    painter->setFont(item.font);
    if (list_.m_arrMarkedRows.contains(row)) {
      painter->fillRect(option.rect, list_.m_arrMarkedCols.contains(column) ? list_.m_clrMark
                                                                            : list_.palette().color(QPalette::Base));
      const bool fullRow = list_.selectionBehavior() == QAbstractItemView::SelectRows;
      const bool hot = row == list_.HotRow() && (column == 0 || fullRow);
      painter->setPen(hot ? QColor(0, 0, 128) : QColor(0, 0, 0));
      const QString shown = painter->fontMetrics().elidedText(text, Qt::ElideRight, label.width());
      painter->drawText(label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
    const QPalette& palette = list_.palette();
    const QFontMetrics metrics = painter->fontMetrics();
    for (qsizetype at : SearchOccurrences(text, list_.m_strSearch)) {
      const QString matched = text.mid(at, list_.m_strSearch.size());
      const int left = label.left() + metrics.horizontalAdvance(text.left(at));
      const int right = left + metrics.horizontalAdvance(matched);
      painter->fillRect(QRect(QPoint(left - 1, option.rect.top()), QPoint(right, option.rect.bottom())),
                        palette.color(QPalette::Highlight));
      painter->setPen(palette.color(QPalette::HighlightedText));
      painter->drawText(QRect(QPoint(left, option.rect.top()), QPoint(right + 1, option.rect.bottom())),
                        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, matched);
    }
    painter->restore();
  }

 private:
  CColorListCtrl& list_;
};

}  // namespace

CColorListCtrl::CColorListCtrl(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setMouseTracking(true);
  setItemDelegate(new ColorListDelegate(*this));
}

void CColorListCtrl::mouseMoveEvent(QMouseEvent* event) {
  QTreeWidget::mouseMoveEvent(event);
  const QModelIndex under = indexAt(event->position().toPoint());
  const int row = under.isValid() && !under.parent().isValid() ? under.row() : -1;
  if (row != hotRow_) {
    hotRow_ = row;
    viewport()->update();
  }
}

void CColorListCtrl::leaveEvent(QEvent* event) {
  QTreeWidget::leaveEvent(event);
  hotRow_ = -1;
  viewport()->update();
}

}  // namespace mirvale
