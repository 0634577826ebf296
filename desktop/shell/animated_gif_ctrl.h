#pragma once
// A picture control that shows a still picture or plays an animated GIF on a drawing thread of
// its own (the set/restore wait dialog plays the wait animation in it). The drawing thread
// composes frames on the canvas and asks for repaints; Stop ends it within one frame and always
// waits for it, so unloading never frees frames the thread still uses.
#include <QByteArray>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "desktop/shell/gif_animation.h"

namespace mirvale {

// The spinner shown while the program waits for the service.
inline constexpr const char* kWaitAnimationResource = ":/pictures/wait.gif";

class CAnimatedGifCtrl : public QWidget {
  Q_OBJECT
 public:
  explicit CAnimatedGifCtrl(QWidget* parent = nullptr);
  ~CAnimatedGifCtrl() override;

  // Parses and prepares the picture; the control takes the picture's size. Any earlier picture
  // is unloaded first. False (and blank) when nothing can be shown.
  bool Load(const QByteArray& data);
  // Load from the program's resources (a Qt resource path such as kWaitAnimationResource).
  bool LoadFromResource(const QString& path);
  // Shows the picture: a still picture at once, an animation by starting the drawing thread.
  bool Draw();
  void Stop();
  void Unload();

  bool IsRunning() const { return running_; }
  // A copy of what the control shows now.
  QImage Snapshot() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Play();
  // Waits up to ms for a stop request; true when one came.
  bool WaitForStop(int ms);

  GifAnimation animation_;
  mutable std::mutex canvasLock_;  // the canvas is drawn by the thread and painted by the UI
  std::mutex stopLock_;
  std::condition_variable stopEvent_;
  bool stopRequested_ = false;
  std::atomic<bool> running_{false};
  std::thread thread_;
};

}  // namespace mirvale
