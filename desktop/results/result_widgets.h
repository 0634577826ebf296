#pragma once
// Small pieces the results views share: the link-style label, the pane and dialog painting, and
// showing a dialog's rows in a colour list.
#include <QLabel>
#include <QString>
#include <algorithm>
#include <numeric>
#include <utility>
#include <string>
#include <vector>

#include "desktop/results/result_rows.h"

class QBoxLayout;
class QHBoxLayout;
class QComboBox;
class QDialog;
class QPainter;
class QPushButton;
class QTreeWidgetItem;
class QWidget;

namespace mirvale {

class CColorListCtrl;
struct CMirvaleDoc;

// A label drawn as a link (Arial 14, underlined, RGB(0,0,128)) that reports clicks.
class LinkLabel : public QLabel {
  Q_OBJECT
 public:
  explicit LinkLabel(const QString& text, QWidget* parent = nullptr);
 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// The dialogs' look: white client with a 50-pixel grey band along the bottom.
void PaintDialogBand(QWidget& widget);

// The views' controls, named for tests: a combo of choices at least minimumWidth wide, a flat
// result list, and a request button that stays disabled until there is something to send.
QComboBox* ChoiceCombo(QWidget& owner, const char* objectName, int minimumWidth);
CColorListCtrl* ResultList(QWidget& owner, const char* objectName);
QPushButton* RequestButton(QWidget& owner, const QString& text, const char* objectName);
// Whether the click that reported item landed on its tick box (such a click only ticks).
bool ClickedTickBox(const CColorListCtrl& list, const QTreeWidgetItem* item);

// Replaces the list's columns (headings with widths; 0 keeps the default width).
void SetListColumns(CColorListCtrl& list, const std::vector<std::pair<QString, int>>& columns);
// A row shows as many of its cells as the list has columns.
QTreeWidgetItem* AppendRow(CColorListCtrl& list, const std::vector<std::string>& cells, bool checkable = false);
void ShowCells(CColorListCtrl& list, int row, const std::vector<std::string>& cells);
// What the list shows in a cell (the tests read the lists through it).
std::string CellText(const CColorListCtrl& list, int row, int column);
// Selects the one row and scrolls it into view (or clears the selection of a row).
void SelectRow(CColorListCtrl& list, int row, bool selected = true);
bool IsTicked(const CColorListCtrl& list, int row);
void SetTicked(CColorListCtrl& list, int row, bool ticked);

}  // namespace mirvale

namespace mirvale {

// Every pool name of the settings, each once (without regard to case), sorted, none chosen.
void FillPoolCombo(QComboBox& combo, const CMirvaleDoc& doc);
// The line above a result list: its caption and row count on the left, the link on the right.
QHBoxLayout* CaptionRow(QWidget& owner, const QString& caption, QLabel* count, QWidget* link);
// The dialogs' choices: "label" over each of the given controls, side by side.
void AddChoices(QWidget& owner, QBoxLayout& layout, const std::vector<std::pair<QString, QWidget*>>& choices);

// The dialogs' bottom band: the request button (when there is one) and Close, which rejects.
void AddButtonBand(QDialog& dialog, QBoxLayout& layout, QPushButton* request);

// Puts the list's rows in order (each position once); the items move, ticks and all.
void ReorderRows(CColorListCtrl& list, const std::vector<size_t>& order);
// Sorts rows, which list shows in their order, and the list's rows with them (ticks kept).
template <typename Row, typename Less>
void SortShownRows(CColorListCtrl& list, std::vector<Row>& rows, Less less) {
  std::vector<size_t> order(rows.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return less(rows[a], rows[b]); });
  ReorderRows(list, order);
  std::vector<Row> sorted;
  sorted.reserve(rows.size());
  for (size_t i : order) sorted.push_back(std::move(rows[i]));
  rows = std::move(sorted);
}

// A list's SNMP result rows, shown in their order, as the Query Properties page steps through
// them.
class ValueListRows : public StoredValueRows {
 public:
  ValueListRows(CColorListCtrl& list, std::vector<ValueRow>& rows) : list_(list), rows_(rows) {}
  int RowCount() const override { return static_cast<int>(rows_.size()); }
  Row At(int row) const override { return ShownValue(rows_[static_cast<size_t>(row)]); }
  void Select(int row, bool selected) override;
  void Refresh(int row, const CDbQuery& stored) override;

 private:
  CColorListCtrl& list_;
  std::vector<ValueRow>& rows_;
};

}  // namespace mirvale
