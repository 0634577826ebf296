#pragma once
// CMainToolBand: the painted band at the top of the main window: the five main buttons (Home,
// Scan, Reports, Tools, Help) on a blue gradient, the banner picture and the product's name.
#include <QWidget>

namespace mirvale {

class CFlatToolBarCtrl;

class CMainToolBand : public QWidget {
  Q_OBJECT
 public:
  explicit CMainToolBand(QWidget* parent = nullptr);
  CFlatToolBarCtrl& ToolBar() const { return *toolBar_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  CFlatToolBarCtrl* toolBar_;
};

}  // namespace mirvale
