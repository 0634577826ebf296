#pragma once
// CConfigurationHome: the summary of the last scan (four device groups with review links), the
// coloured band telling the overall result, and the status block (schedule, actions, export,
// service, version). Refreshed each time it is shown.
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <array>

#include "desktop/shell/home_summary.h"
#include "desktop/shell/pane_registry.h"

namespace mirvale {

class SettingsLink;

class CConfigurationHome : public QWidget {
  Q_OBJECT
 public:
  CConfigurationHome(const PaneContext& context, QWidget* parent);

  void Refresh();
  const HomeSummary& Summary() const { return summary_; }
  HomeState State() const { return summary_.state; }
  // The band's start colour of a state.
  static QColor BandColour(HomeState state);

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Review(int filter);
  void Layout();

  PaneContext context_;
  HomeSummary summary_;
  QLabel* headline_;
  QPushButton* startScan_;
  std::array<QLabel*, 4> labels_{};
  std::array<QLabel*, 4> counts_{};
  std::array<QLabel*, 4> icons_{};
  std::array<SettingsLink*, 4> links_{};
  QLabel* statusTitle_;
  QWidget* statusFrame_;
  std::array<QLabel*, 5> statusLabels_{};
  std::array<QLabel*, 5> statusValues_{};
};

}  // namespace mirvale
