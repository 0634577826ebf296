#pragma once
// CConfigurationRestoreView: one side of the Restore Devices dialog's splitter, the current or
// the previous configuration of the chosen device as a one-column list (rows as stored, leading
// blanks kept). The previous side has tick boxes: a ticked row is a line to restore.
#include <QWidget>
#include <set>
#include <string>
#include <vector>

namespace mirvale {

class CColorListCtrl;
class CMirvaleApp;

class CConfigurationRestoreView : public QWidget {
  Q_OBJECT
 public:
  CConfigurationRestoreView(CMirvaleApp& app, bool previous, QWidget* parent = nullptr);

  // Empties the view, then fills it from the device database for pool and device.
  void FillConfiguration(const std::string& pool, const std::string& device);
  // Ticks the rows Select Changes finds; true when it ticked any.
  bool SelectChanges();
  void UnselectChanges();
  std::set<size_t> TickedRows() const;
  const std::vector<std::string>& Rows() const { return rows_; }
  // The date the heading shows after its caption (none without rows).
  const std::string& HeadingDate() const { return date_; }
  CColorListCtrl& List() { return *list_; }

 signals:
  void ticksChanged();
  void rowClicked(int row);

 private:
  CMirvaleApp& app_;
  const bool previous_;
  CColorListCtrl* list_;
  std::string pool_, device_;
  std::vector<std::string> rows_;  // the list's rows
  std::string date_;               // the date in the list's heading
};

}  // namespace mirvale
