#pragma once
// CFlatToolBarCtrl: a row of flat buttons drawn as picture and text in Tahoma 16 px, without
// edges and without moving when pressed; a hot button (the mouse over it, nothing else) may be
// underlined or bold. A drop-down button reports presses of its arrow separately.
#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QWidget>

namespace mirvale {

// The font of a button: Tahoma 16 px; when the button is hot and in no other state, underlined
// with hotUnderline, then bold (and not underlined) with hotBold.
QFont FlatButtonFont(bool hot, bool otherState, bool hotUnderline, bool hotBold);

class CFlatToolBarCtrl;

class FlatToolButton : public QAbstractButton {
  Q_OBJECT
 public:
  FlatToolButton(CFlatToolBarCtrl& bar, int command, const QString& text, QPixmap normal, QPixmap hot, int width,
                 bool dropDown);
  int Command() const { return command_; }
  bool IsHot() const;
  QSize sizeHint() const override;

 signals:
  void arrowPressed();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QRect ArrowRect() const;

  CFlatToolBarCtrl& bar_;
  const int command_;
  const QPixmap normal_;
  const QPixmap hot_;
  const int width_;
  const bool dropDown_;
};

class CFlatToolBarCtrl : public QWidget {
  Q_OBJECT
 public:
  explicit CFlatToolBarCtrl(QWidget* parent = nullptr);

  // Set by the owner before it adds buttons.
  QColor m_clrText = QColor(0, 0, 0);
  bool m_bHotUnderline = false;
  bool m_bHotBold = false;

  FlatToolButton* AddButton(int command, const QString& text, const QPixmap& normal, const QPixmap& hot, int width,
                            bool dropDown = false);
  FlatToolButton* Button(int command) const;

 signals:
  void commandTriggered(int command);
  // The arrow of a drop-down button: its rectangle in global coordinates.
  void dropDownPressed(int command, const QRect& buttonRect);
};

}  // namespace mirvale
