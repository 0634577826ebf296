#pragma once
// CConfigurationWait: the modal "Wait while setting or restoring parameters..." dialog. Only its
// follower closes it: Esc, Enter and the window's close request are refused.
#include <QDialog>

namespace mirvale {

class CAnimatedGifCtrl;

class CConfigurationWait : public QDialog {
  Q_OBJECT
 public:
  explicit CConfigurationWait(QWidget* parent = nullptr);

  // Closes the dialog; connected (queued) to the follower's end.
  void CloseByFollower();

  void reject() override;  // refused unless the follower ended
  void accept() override;  // likewise

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  CAnimatedGifCtrl* picture_;  // the wait animation, stopped when the dialog goes
  bool followerEnded_ = false;
};

}  // namespace mirvale
