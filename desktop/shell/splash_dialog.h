#pragma once
// CSplashDlg: shown while the program starts. It stays at least the splash delay (3 s), then
// runs the start-up loading on a worker thread, and closes only when the loading has finished.
#include <QDialog>
#include <chrono>
#include <functional>
#include <thread>

class QLabel;

namespace mirvale {

class CSplashDlg : public QDialog {
  Q_OBJECT
 public:
  CSplashDlg(std::chrono::milliseconds delay, std::function<void()> loading, QWidget* parent = nullptr);
  ~CSplashDlg() override;  // waits for the loading when it is still running

  // A close asked while loading: taken once the loading is done (CloseRequested), and said so.
  void RequestClose();
  bool CloseRequested() const { return closeRequested_; }

 signals:
  void loadingFinished();

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent*) override;
  // Escape and the window's close button do not end the splash at once: the program's start-up
  // goes on behind it, and the program closes when the loading is done.
  void reject() override { RequestClose(); }

 private:
  void StartLoading();

  const std::chrono::milliseconds delay_;
  const std::function<void()> loading_;
  QLabel* title_;  // the anchor of the painted product name
  QLabel* detailText_;
  std::thread worker_;
  bool started_ = false;
  bool closeRequested_ = false;
};

}  // namespace mirvale
