#pragma once
// CConfigurationWait: the modal "Wait while setting or restoring parameters..." dialog. Its
// follower closes it; Esc and Enter are refused, so that no stray key ends the wait, while the
// window's close button stops waiting (stopRequested, then the dialog closes).
#include <QDialog>

namespace mirvale {

class CAnimatedGifCtrl;

class CConfigurationWait : public QDialog {
  Q_OBJECT
 public:
  explicit CConfigurationWait(QWidget* parent = nullptr);

  // Closes the dialog; connected (queued) to the follower's end.
  void CloseByFollower();

  void reject() override;  // refused unless the follower ended or the user stopped waiting
  void accept() override;  // likewise
  bool StoppedByUser() const { return stoppedByUser_; }

 signals:
  void stopRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  CAnimatedGifCtrl* picture_;  // the wait animation, stopped when the dialog goes
  bool followerEnded_ = false;
  bool stoppedByUser_ = false;
};

}  // namespace mirvale
