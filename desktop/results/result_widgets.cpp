#include "desktop/results/result_widgets.h"

#include <QAbstractItemModel>
#include <QBoxLayout>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include "common/mirvale_doc.h"
#include "desktop/shell/color_list.h"

namespace mirvale {

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(14);
  font.setUnderline(true);
  setFont(font);
  setStyleSheet(QStringLiteral("color: rgb(0, 0, 128);"));
  setCursor(Qt::PointingHandCursor);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
  QLabel::mouseReleaseEvent(event);
}

void PaintDialogBand(QWidget& widget) {
  QPainter painter(&widget);
  painter.fillRect(widget.rect(), QColor(255, 255, 255));
  painter.fillRect(QRect(0, widget.height() - 50, widget.width(), 50), QColor(239, 239, 239));
}

QComboBox* ChoiceCombo(QWidget& owner, const char* objectName, int minimumWidth) {
  auto* combo = new QComboBox(&owner);
  combo->setObjectName(QString::fromLatin1(objectName));
  combo->setMinimumWidth(minimumWidth);
  return combo;
}

CColorListCtrl* ResultList(QWidget& owner, const char* objectName) {
  auto* list = new CColorListCtrl(&owner);
  list->setObjectName(QString::fromLatin1(objectName));
  list->setRootIsDecorated(false);
  return list;
}

QPushButton* RequestButton(QWidget& owner, const QString& text, const char* objectName) {
  auto* button = new QPushButton(text, &owner);
  button->setObjectName(QString::fromLatin1(objectName));
  button->setEnabled(false);
  return button;
}

bool ClickedTickBox(const CColorListCtrl& list, const QTreeWidgetItem* item) {
  const QPoint cursor = list.viewport()->mapFromGlobal(QCursor::pos());
  return cursor.x() >= 0 && cursor.x() <= 24 && list.itemAt(cursor) == item;
}

void SetListColumns(CColorListCtrl& list, const std::vector<std::pair<QString, int>>& columns) {
  list.clear();
  QStringList headings;
  for (const auto& column : columns) headings << column.first;
  list.setColumnCount(static_cast<int>(columns.size()));
  list.setHeaderLabels(headings);
  for (int i = 0; i < static_cast<int>(columns.size()); ++i)
    if (columns[i].second > 0) list.setColumnWidth(i, columns[i].second);
}

namespace {

void SetTexts(const CColorListCtrl& list, QTreeWidgetItem& item, const std::vector<std::string>& cells) {
  const int shown = std::min(static_cast<int>(cells.size()), list.columnCount());
  for (int i = 0; i < shown; ++i) item.setText(i, QString::fromStdString(cells[static_cast<size_t>(i)]));
}

}  // namespace

QTreeWidgetItem* AppendRow(CColorListCtrl& list, const std::vector<std::string>& cells, bool checkable) {
  auto* item = new QTreeWidgetItem(&list);
  SetTexts(list, *item, cells);
  if (checkable) item->setCheckState(0, Qt::Unchecked);
  return item;
}

void ShowCells(CColorListCtrl& list, int row, const std::vector<std::string>& cells) {
  if (QTreeWidgetItem* item = list.topLevelItem(row)) SetTexts(list, *item, cells);
}

std::string CellText(const CColorListCtrl& list, int row, int column) {
  const QTreeWidgetItem* item = list.topLevelItem(row);
  return item ? item->text(column).toStdString() : std::string();
}

void SelectRow(CColorListCtrl& list, int row, bool selected) {
  QTreeWidgetItem* item = list.topLevelItem(row);
  if (!item) return;
  item->setSelected(selected);
  if (selected) list.scrollToItem(item);
}

bool IsTicked(const CColorListCtrl& list, int row) {
  const QTreeWidgetItem* item = list.topLevelItem(row);
  return item && item->checkState(0) == Qt::Checked;
}

void SetTicked(CColorListCtrl& list, int row, bool ticked) {
  if (QTreeWidgetItem* item = list.topLevelItem(row)) item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

}  // namespace mirvale

namespace mirvale {

void FillPoolCombo(QComboBox& combo, const CMirvaleDoc& doc) {
  for (const auto& [name, pool] : doc.m_mapPools)
    if (combo.findText(QString::fromStdString(name), Qt::MatchFixedString) < 0)
      combo.addItem(QString::fromStdString(name));
  combo.model()->sort(0);
  combo.setCurrentIndex(-1);
}

QHBoxLayout* CaptionRow(QWidget& owner, const QString& caption, QLabel* count, QWidget* link) {
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(caption, &owner));
  row->addWidget(count);
  row->addStretch(1);
  row->addWidget(link);
  return row;
}

void AddChoices(QWidget& owner, QBoxLayout& layout, const std::vector<std::pair<QString, QWidget*>>& choices) {
  auto* grid = new QGridLayout;
  for (int i = 0; i < static_cast<int>(choices.size()); ++i) {
    grid->addWidget(new QLabel(choices[static_cast<size_t>(i)].first, &owner), 0, i);
    grid->addWidget(choices[static_cast<size_t>(i)].second, 1, i);
  }
  grid->setColumnStretch(static_cast<int>(choices.size()), 1);
  layout.addLayout(grid);
}

void AddButtonBand(QDialog& dialog, QBoxLayout& layout, QPushButton* request) {
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(0, 14, 0, 0);
  buttons->addStretch(1);
  if (request) buttons->addWidget(request);
  auto* close = new QPushButton(QStringLiteral("Close"), &dialog);
  buttons->addWidget(close);
  layout.addLayout(buttons);
  QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::reject);
}

void ReorderRows(CColorListCtrl& list, const std::vector<size_t>& order) {
  QSignalBlocker quiet(&list);
  QList<QTreeWidgetItem*> taken;
  while (list.topLevelItemCount() > 0) taken.append(list.takeTopLevelItem(0));
  QList<QTreeWidgetItem*> items;
  for (size_t i : order) items.append(taken[static_cast<qsizetype>(i)]);
  list.addTopLevelItems(items);
}

void ValueListRows::Select(int row, bool selected) { SelectRow(list_, row, selected); }

void ValueListRows::Refresh(int row, const CDbQuery& stored) {
  ValueRow& shown = rows_[static_cast<size_t>(row)];
  RefreshValues(shown, stored);
  ShowCells(list_, row, ValueCells(shown));
}

}  // namespace mirvale
