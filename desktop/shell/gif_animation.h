#pragma once
// A picture ready to show: a still image or the decoded frames of an animated GIF, and the
// canvas they are composed on. Widget-free: the control owns one and drives it from its drawing
// thread; Show/Dispose/Advance follow each frame's position, delay and disposal method.
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <optional>
#include <vector>

namespace mirvale {

class GifAnimation {
 public:
  struct Frame {
    QImage picture;  // the frame's own pixels (width x height), null when it could not be decoded
    int x = 0;
    int y = 0;
    std::optional<int> delay;
    int disposal = 0;
  };

  // Parses and decodes data; false (and empty) when nothing can be shown. The canvas and what
  // disposal clears to take canvasColour (the colour of the control's surroundings).
  bool Load(const QByteArray& data, QColor canvasColour);
  bool Empty() const { return canvas_.isNull(); }
  bool Animated() const { return frames_.size() > 1; }
  const std::vector<Frame>& Frames() const { return frames_; }
  QColor Background() const { return background_; }
  const QImage& Canvas() const { return canvas_; }
  int CurrentFrame() const { return current_; }

  // How long a frame stays: its delay when it is 5 hundredths or more, else 100 ms.
  static int FrameMilliseconds(const std::optional<int>& delay);

  // Still picture: the whole picture drawn on the canvas.
  void ShowStill();
  // The current frame drawn on the canvas (what lies under a disposal-3 frame saved first).
  void ShowCurrent();
  // The current frame's disposal: 2 clears its rectangle to the background, 3 restores.
  void DisposeCurrent();
  // Next frame; after the last, back to the first on a canvas cleared to the background.
  void Advance();

 private:
  void PrepareCanvas(int width, int height);

  QImage still_;
  std::vector<Frame> frames_;
  QImage canvas_;
  QImage saved_;
  QColor background_{255, 255, 255};  // the canvas colour once prepared
  int current_ = 0;
};

}  // namespace mirvale
