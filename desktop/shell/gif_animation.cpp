#include "desktop/shell/gif_animation.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

#include "desktop/shell/gif_blocks.h"

namespace mirvale {

namespace {

QImage Decode(const QByteArray& data, const char* format = nullptr) {
  QBuffer buffer;
  buffer.setData(data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  QImage image = reader.read();
  return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

int GifAnimation::FrameMilliseconds(const std::optional<int>& delay) {
  return delay && *delay >= 5 ? *delay * 10 : 100;
}

bool GifAnimation::Load(const QByteArray& data, QColor canvasColour) {
  *this = GifAnimation();
  background_ = canvasColour;
  if (!GifBlocks::IsGif(data)) {
    still_ = Decode(data);
    if (still_.isNull()) return false;
    PrepareCanvas(still_.width(), still_.height());
    return !Empty();
  }
  GifBlocks blocks(data);
  int images = blocks.ImageCount();
  if (images == 0) return false;
  if (images == 1) {
    still_ = Decode(data, "gif");
    if (still_.isNull()) return false;
    PrepareCanvas(blocks.ScreenWidth(), blocks.ScreenHeight());
    return !Empty();
  }
  for (const GifFrameBlocks& blocksOfFrame : blocks.Frames()) {
    // The reader puts the image at its place on a screen-sized picture; keep only its rectangle.
    QImage whole = Decode(blocksOfFrame.singleImageGif, "gif");
    if (whole.isNull()) continue;  // a frame that cannot be decoded is dropped
    QRect rect = QRect(blocksOfFrame.x, blocksOfFrame.y, blocksOfFrame.width, blocksOfFrame.height) & whole.rect();
    frames_.push_back(Frame{whole.copy(rect), rect.x(), rect.y(), blocksOfFrame.delay, blocksOfFrame.disposal});
  }
  if (frames_.empty()) return false;
  PrepareCanvas(blocks.ScreenWidth(), blocks.ScreenHeight());
  return !Empty();
}

void GifAnimation::PrepareCanvas(int width, int height) {
  if (width <= 0 || height <= 0) return;
  canvas_ = QImage(width, height, QImage::Format_ARGB32);
  canvas_.fill(background_);
}

void GifAnimation::ShowStill() {
  if (canvas_.isNull() || still_.isNull()) return;
  QPainter painter(&canvas_);
  painter.drawImage(QRect(0, 0, canvas_.width(), canvas_.height()), still_);
}

void GifAnimation::ShowCurrent() {
  if (frames_.empty() || canvas_.isNull()) return;
  const Frame& frame = frames_[static_cast<std::size_t>(current_)];
  if (frame.picture.isNull()) return;
  QRect rect(frame.x, frame.y, frame.picture.width(), frame.picture.height());
  if (frame.disposal == 3) saved_ = canvas_.copy(rect);
  QPainter painter(&canvas_);
  painter.drawImage(rect.topLeft(), frame.picture);
}

void GifAnimation::DisposeCurrent() {
  if (frames_.empty() || canvas_.isNull()) return;
  const Frame& frame = frames_[static_cast<std::size_t>(current_)];
  QRect rect(frame.x, frame.y, frame.picture.width(), frame.picture.height());
  if (frame.disposal == 2) {
    QPainter painter(&canvas_);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect, background_);
  } else if (frame.disposal == 3 && !saved_.isNull()) {
    QPainter painter(&canvas_);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(rect.topLeft(), saved_);
    saved_ = QImage();
  }
}

void GifAnimation::Advance() {
  if (frames_.empty()) return;
  if (++current_ >= static_cast<int>(frames_.size())) {
    current_ = 0;
    canvas_.fill(background_);
  }
}

}  // namespace mirvale
