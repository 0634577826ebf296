#pragma once
// The Scan pane's "Scan Pool" button: pressing its left part starts the scan, its arrow part
// opens the Scan Menu. It shows the states the pane needs apart: disabled, pressed, hot,
// focused, menu open (arrow pushed) and busy (arrow greyed while a scan is followed).
// "Disabled" is the start part's alone: the widget itself stays enabled, since a disabled widget
// takes no mouse press and the arrow opens the menu with no pool chosen.
#include <QPushButton>

namespace mirvale {

class ScanPoolButton : public QPushButton {
  Q_OBJECT
 public:
  explicit ScanPoolButton(const QString& text, QWidget* parent = nullptr);

  // Whether the left part starts a scan (drawn and taken as a disabled button when not).
  void SetStartEnabled(bool enabled);
  bool StartEnabled() const { return startEnabled_; }
  void SetBusy(bool busy);
  bool Busy() const { return busy_; }
  void SetMenuOpen(bool open);
  // The arrow part, in the button's coordinates.
  QRect ArrowZone() const;

 signals:
  void arrowPressed();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool startEnabled_ = true;
  bool busy_ = false;
  bool menuOpen_ = false;
};

}  // namespace mirvale
