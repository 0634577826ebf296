#pragma once
// The block structure of a GIF file, read without decoding pixels: the logical screen, the
// background colour, and each image of an animation cut out as a single-image GIF of its own
// (the header and global colour table, the image's extension blocks and the image, a trailer),
// with its position, size, delay and disposal method. Damaged data ends the walk at the first
// block that does not fit; the images found before it are kept. Nothing is read past the end.
#include <QByteArray>
#include <QColor>
#include <cstddef>
#include <optional>
#include <vector>

namespace mirvale {

struct GifFrameBlocks {
  QByteArray singleImageGif;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  std::optional<int> delay;  // hundredths of a second, none without a graphic control extension
  int disposal = 0;          // 0 to 7
};

class GifBlocks {
 public:
  explicit GifBlocks(QByteArray data);

  static bool IsGif(const QByteArray& data) { return data.startsWith("GIF"); }

  int ScreenWidth() const;
  int ScreenHeight() const;
  // The global colour table's entry named by the header, white when there is no table.
  QColor Background() const;
  int ImageCount() const;
  // Every image in file order; frames whose blocks do not fit end the list.
  std::vector<GifFrameBlocks> Frames() const;

  // Length of the block at pos, none when it is unrecognised or does not end within the data.
  std::optional<std::size_t> BlockLength(std::size_t pos) const;

 private:
  enum class Block { GraphicControl, Comment, Application, OtherExtension, Image, Trailer, Unknown };
  Block KindAt(std::size_t pos) const;
  std::optional<std::size_t> SubBlocksLength(std::size_t pos) const;
  std::size_t FirstBlock() const { return 13 + globalTableSize_; }
  // From pos: the start of the next frame's blocks and their end (just past its image).
  struct Span {
    std::size_t begin;
    std::size_t end;
    std::optional<std::size_t> control;
    std::size_t image;
  };
  std::optional<Span> NextFrame(std::size_t pos) const;
  unsigned Byte(std::size_t pos) const { return static_cast<unsigned char>(data_[static_cast<qsizetype>(pos)]); }
  unsigned Word(std::size_t pos) const { return Byte(pos) | Byte(pos + 1) << 8; }

  QByteArray data_;
  std::size_t size_ = 0;
  std::size_t globalTableSize_ = 0;
};

}  // namespace mirvale
