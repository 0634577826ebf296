#pragma once
// Small GIFs for tests: a two-colour-or-more palette, frames as rectangles of one colour index,
// each with an optional graphic control extension (delay, disposal) and optional comment.
// Codes stay 4 bits wide by clearing the table every four pixels, which every reader accepts.
#include <QByteArray>
#include <optional>
#include <vector>

namespace testing_support {

struct GifTestFrame {
  int x = 0, y = 0, width = 1, height = 1;
  int colour = 1;            // palette index 0..7
  std::optional<int> delay;  // with a value: a graphic control extension
  int disposal = 0;
  bool commentAfterControl = false;
};

inline void PutWord(QByteArray& out, int value) {
  out.append(char(value & 0xFF));
  out.append(char((value >> 8) & 0xFF));
}

inline QByteArray GifImageData(int pixels, int colour) {
  std::vector<int> codes;
  for (int i = 0; i < pixels; ++i) {
    if (i % 4 == 0) codes.push_back(8);
    codes.push_back(colour);
  }
  codes.push_back(9);
  QByteArray packed;
  unsigned acc = 0;
  int bits = 0;
  for (int code : codes) {
    acc |= unsigned(code) << bits;
    bits += 4;
    while (bits >= 8) {
      packed.append(char(acc & 0xFF));
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits) packed.append(char(acc & 0xFF));
  QByteArray out(1, char(3));
  for (qsizetype at = 0; at < packed.size(); at += 255) {
    QByteArray chunk = packed.mid(at, 255);
    out.append(char(chunk.size()));
    out.append(chunk);
  }
  out.append(char(0));
  return out;
}

// Palette: 0 white, 1 red, 2 green, 3 blue, 4..7 black; background index 0.
inline QByteArray MakeGif(int width, int height, const std::vector<GifTestFrame>& frames) {
  QByteArray gif("GIF89a");
  PutWord(gif, width);
  PutWord(gif, height);
  gif.append(char(0xF2));
  gif.append(char(0));
  gif.append(char(0));
  const unsigned char palette[8][3] = {{255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255},
                                       {0, 0, 0},       {0, 0, 0},   {0, 0, 0},   {0, 0, 0}};
  for (const auto& rgb : palette) gif.append(reinterpret_cast<const char*>(rgb), 3);
  for (const GifTestFrame& frame : frames) {
    if (frame.delay) {
      gif.append("\x21\xF9\x04", 3);
      gif.append(char(frame.disposal << 2));
      PutWord(gif, *frame.delay);
      gif.append(char(0));
      gif.append(char(0));
    }
    if (frame.commentAfterControl) gif.append(QByteArray("\x21\xFE\x05hello\x00", 9));
    gif.append(char(0x2C));
    PutWord(gif, frame.x);
    PutWord(gif, frame.y);
    PutWord(gif, frame.width);
    PutWord(gif, frame.height);
    gif.append(char(0));
    gif.append(GifImageData(frame.width * frame.height, frame.colour));
  }
  gif.append(char(0x3B));
  return gif;
}

}  // namespace testing_support
