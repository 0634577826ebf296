#pragma once
// CColorListCtrl: the report-style list of the result views. Over each row's own painting it
// draws two things its owner asks for: chosen columns of marked rows in a mark colour, and every
// occurrence of a search text in the system's highlight colours. The owner writes the four
// members and calls viewport()->update(); the list itself never searches or marks.
#include <QColor>
#include <QList>
#include <QString>
#include <QTreeWidget>

namespace mirvale {

class CColorListCtrl : public QTreeWidget {
  Q_OBJECT
 public:
  explicit CColorListCtrl(QWidget* parent = nullptr);

  QString m_strSearch;  // upper case; empty: no highlighting
  QColor m_clrMark = QColor(0, 0, 0);
  QList<int> m_arrMarkedRows;  // row positions; clear before refilling or re-sorting
  QList<int> m_arrMarkedCols;  // columns that get m_clrMark within a marked row

  int HotRow() const { return hotRow_; }

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  int hotRow_ = -1;
};

}  // namespace mirvale
