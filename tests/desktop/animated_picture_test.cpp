// The animated picture control: the GIF block walk, frame composition and the drawing thread.
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include "desktop/shell/animated_gif_ctrl.h"
#include "desktop/shell/gif_animation.h"
#include "desktop/shell/gif_blocks.h"
#include "tests/desktop/support/gif_writer.h"
#include "tests/desktop/support/qt_environment.h"

namespace mirvale {
namespace {

using testing_support::GifTestFrame;
using testing_support::MakeGif;

static auto* const qt = testing_support::UseQtApplication();

const QColor kCanvas(200, 200, 200);

TEST(GifBlocks, FramesCarryPositionDelayDisposalAndTheirOwnExtensions) {
  QByteArray gif = MakeGif(8, 6,
                           {GifTestFrame{0, 0, 8, 6, 1, 10, 1, false}, GifTestFrame{2, 1, 3, 2, 2, 0, 2, true},
                            GifTestFrame{1, 1, 2, 2, 3, std::nullopt, 0, false}});
  GifBlocks blocks(gif);
  EXPECT_EQ(blocks.ScreenWidth(), 8);
  EXPECT_EQ(blocks.ScreenHeight(), 6);
  EXPECT_EQ(blocks.Background(), QColor(255, 255, 255));
  ASSERT_EQ(blocks.ImageCount(), 3);
  auto frames = blocks.Frames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].delay, 10);
  EXPECT_EQ(frames[0].disposal, 1);
  EXPECT_EQ(frames[1].delay, 0);
  EXPECT_EQ(frames[1].disposal, 2);
  EXPECT_EQ(QRect(frames[1].x, frames[1].y, frames[1].width, frames[1].height), QRect(2, 1, 3, 2));
  EXPECT_FALSE(frames[2].delay.has_value());
  // The comment between the second frame's control extension and its image stays with it.
  EXPECT_TRUE(frames[1].singleImageGif.contains("hello"));
  EXPECT_FALSE(frames[0].singleImageGif.contains("hello"));
  for (const auto& frame : frames) {
    EXPECT_TRUE(frame.singleImageGif.startsWith(gif.left(13 + 24)));
    EXPECT_EQ(frame.singleImageGif.back(), char(0x3B));
    EXPECT_FALSE(QImage::fromData(frame.singleImageGif, "gif").isNull());
  }

  EXPECT_EQ(GifAnimation::FrameMilliseconds(10), 100);
  EXPECT_EQ(GifAnimation::FrameMilliseconds(0), 100);
  EXPECT_EQ(GifAnimation::FrameMilliseconds(3), 100);
  EXPECT_EQ(GifAnimation::FrameMilliseconds(std::nullopt), 100);
  EXPECT_EQ(GifAnimation::FrameMilliseconds(50), 500);
}

TEST(GifBlocks, DamagedDataKeepsTheImagesBeforeTheDamageAndNeverReadsPastTheEnd) {
  QByteArray gif =
      MakeGif(4, 4, {GifTestFrame{0, 0, 4, 4, 1, 10, 0, false}, GifTestFrame{0, 0, 4, 4, 2, 10, 0, false}});
  // Cut inside the second image's sub-blocks: only the first image remains.
  for (qsizetype cut = gif.size() - 2; cut > 13 + 24; --cut) {
    GifBlocks blocks(gif.left(cut));
    int count = blocks.ImageCount();
    EXPECT_LE(count, 2);
    EXPECT_EQ(static_cast<int>(blocks.Frames().size()), count);
  }
  EXPECT_EQ(GifBlocks(gif.left(gif.size() - 8)).ImageCount(), 1);
  // An unrecognised block ends the walk.
  QByteArray junk = gif;
  junk.insert(13 + 24, char(0x55));
  EXPECT_EQ(GifBlocks(junk).ImageCount(), 0);
  GifAnimation animation;
  EXPECT_FALSE(animation.Load(junk, kCanvas));
  EXPECT_TRUE(animation.Empty());
}

TEST(GifAnimation, DisposalClearsOrRestoresAndTheCycleStartsOnAClearCanvas) {
  // Frame 0 fills everything red; frame 1 (disposal 3) paints green in the middle and is put
  // back; frame 2 (disposal 2) paints blue and is cleared to the canvas colour.
  QByteArray gif = MakeGif(6, 6,
                           {GifTestFrame{0, 0, 6, 6, 1, 10, 1, false}, GifTestFrame{2, 2, 2, 2, 2, 10, 3, false},
                            GifTestFrame{0, 0, 2, 2, 3, 10, 2, false}});
  GifAnimation animation;
  ASSERT_TRUE(animation.Load(gif, kCanvas));
  ASSERT_TRUE(animation.Animated());
  EXPECT_EQ(animation.Canvas().size(), QSize(6, 6));
  auto pixel = [&](int x, int y) { return animation.Canvas().pixelColor(x, y); };

  animation.ShowCurrent();
  EXPECT_EQ(pixel(3, 3), QColor(255, 0, 0));
  animation.DisposeCurrent();
  animation.Advance();
  animation.ShowCurrent();
  EXPECT_EQ(pixel(3, 3), QColor(0, 255, 0));
  EXPECT_EQ(pixel(0, 0), QColor(255, 0, 0));
  animation.DisposeCurrent();
  EXPECT_EQ(pixel(3, 3), QColor(255, 0, 0));  // what was under it
  animation.Advance();
  animation.ShowCurrent();
  EXPECT_EQ(pixel(1, 1), QColor(0, 0, 255));
  animation.DisposeCurrent();
  EXPECT_EQ(pixel(1, 1), kCanvas);
  EXPECT_EQ(pixel(4, 4), QColor(255, 0, 0));
  animation.Advance();
  EXPECT_EQ(animation.CurrentFrame(), 0);
  EXPECT_EQ(pixel(4, 4), kCanvas);
}

TEST(AnimatedGifCtrl, StillPicturesShowAtOnceWithoutAThread) {
  CAnimatedGifCtrl control;
  control.Stop();  // nothing running: returns at once
  QImage bitmap(7, 5, QImage::Format_RGB32);
  bitmap.fill(QColor(10, 20, 30));
  QByteArray bmp;
  QBuffer buffer(&bmp);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(bitmap.save(&buffer, "BMP"));
  ASSERT_TRUE(control.Load(bmp));
  EXPECT_EQ(control.size(), QSize(7, 5));
  EXPECT_TRUE(control.Draw());
  EXPECT_FALSE(control.IsRunning());
  EXPECT_EQ(control.Snapshot().pixelColor(3, 2), QColor(10, 20, 30));

  ASSERT_TRUE(control.Load(MakeGif(3, 3, {GifTestFrame{0, 0, 3, 3, 2, 10, 0, false}})));
  EXPECT_TRUE(control.Draw());
  EXPECT_FALSE(control.IsRunning());
  EXPECT_EQ(control.Snapshot().pixelColor(1, 1), QColor(0, 255, 0));

  EXPECT_FALSE(control.Load("neither a GIF nor a picture"));
  EXPECT_FALSE(control.Draw());
}

TEST(AnimatedGifCtrl, WaitAnimationPlaysAndStopsWithinAFrame) {
  CAnimatedGifCtrl control;
  ASSERT_TRUE(control.LoadFromResource(kWaitAnimationResource));
  EXPECT_EQ(control.size(), QSize(32, 32));
  ASSERT_TRUE(control.Draw());
  EXPECT_TRUE(control.IsRunning());
  // The dark dot walks: the picture changes while it plays.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !control.Snapshot().isNull(); }, 3000));
  const QImage first = control.Snapshot();
  EXPECT_TRUE(QTest::qWaitFor([&] { return control.Snapshot() != first; }, 3000));
  QElapsedTimer timer;
  timer.start();
  control.Stop();
  EXPECT_LT(timer.elapsed(), 2000);  // one frame is 100 ms; room for a loaded machine
  EXPECT_FALSE(control.IsRunning());
  // Loading again while playing, and destroying while playing, wait for the thread first.
  ASSERT_TRUE(control.Draw());
  ASSERT_TRUE(control.LoadFromResource(kWaitAnimationResource));
  ASSERT_TRUE(control.Draw());
}

}  // namespace
}  // namespace mirvale
