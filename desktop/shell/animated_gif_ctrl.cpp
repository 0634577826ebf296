#include "desktop/shell/animated_gif_ctrl.h"

#include <QFile>
#include <QPainter>

#include "desktop/shell/post_to_gui_thread.h"

namespace mirvale {

CAnimatedGifCtrl::CAnimatedGifCtrl(QWidget* parent) : QWidget(parent) {}

CAnimatedGifCtrl::~CAnimatedGifCtrl() { Unload(); }

bool CAnimatedGifCtrl::Load(const QByteArray& data) {
  Unload();
  std::lock_guard<std::mutex> lock(canvasLock_);
  if (!animation_.Load(data, palette().color(QPalette::Window))) return false;
  QSize size = animation_.Canvas().size();
  setFixedSize(size);  // resized in place, never moved
  return true;
}

bool CAnimatedGifCtrl::LoadFromResource(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  return Load(file.readAll());
}

void CAnimatedGifCtrl::Unload() {
  Stop();
  std::lock_guard<std::mutex> lock(canvasLock_);
  animation_ = GifAnimation();
  update();
}

bool CAnimatedGifCtrl::Draw() {
  if (animation_.Empty()) return false;
  if (animation_.Animated()) {
    if (!thread_.joinable()) {
      running_ = true;
      thread_ = std::thread([this] { Play(); });
    }
    return true;
  }
  {
    std::lock_guard<std::mutex> lock(canvasLock_);
    animation_.ShowStill();
  }
  update();
  return true;
}

void CAnimatedGifCtrl::Stop() {
  {
    std::lock_guard<std::mutex> lock(stopLock_);
    stopRequested_ = true;
  }
  stopEvent_.notify_all();
  // The thread leaves within one frame; waiting for it always is what keeps its frames alive.
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(stopLock_);
  stopRequested_ = false;
}

bool CAnimatedGifCtrl::WaitForStop(int ms) {
  std::unique_lock<std::mutex> lock(stopLock_);
  return stopEvent_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopRequested_; });
}

void CAnimatedGifCtrl::Play() {
  auto repaint = [this] { PostToGuiThread(this, [this] { update(); }); };
  {
    std::lock_guard<std::mutex> lock(canvasLock_);
    animation_.DisposeCurrent();
  }
  while (!WaitForStop(0)) {
    int ms;
    {
      std::lock_guard<std::mutex> lock(canvasLock_);
      animation_.ShowCurrent();
      ms = GifAnimation::FrameMilliseconds(
          animation_.Frames()[static_cast<std::size_t>(animation_.CurrentFrame())].delay);
    }
    repaint();
    if (WaitForStop(ms)) break;
    std::lock_guard<std::mutex> lock(canvasLock_);
    animation_.DisposeCurrent();
    animation_.Advance();
  }
  running_ = false;
}

QImage CAnimatedGifCtrl::Snapshot() const {
  std::lock_guard<std::mutex> lock(canvasLock_);
  return animation_.Canvas().copy();
}

void CAnimatedGifCtrl::paintEvent(QPaintEvent*) {
  std::lock_guard<std::mutex> lock(canvasLock_);
  if (animation_.Empty()) return;
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), animation_.Canvas());
}

}  // namespace mirvale
