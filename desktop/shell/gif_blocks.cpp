#include "desktop/shell/gif_blocks.h"

namespace mirvale {

namespace {
constexpr std::size_t kHeaderSize = 13;
std::size_t ColourTableSize(unsigned packed) { return (packed & 0x80) ? 3u << ((packed & 7) + 1) : 0; }
}  // namespace

GifBlocks::GifBlocks(QByteArray data) : data_(std::move(data)), size_(static_cast<std::size_t>(data_.size())) {
  if (size_ >= kHeaderSize && IsGif(data_)) {
    globalTableSize_ = ColourTableSize(Byte(10));
    if (kHeaderSize + globalTableSize_ > size_) globalTableSize_ = size_ - kHeaderSize;
  }
}

int GifBlocks::ScreenWidth() const { return size_ >= kHeaderSize ? static_cast<int>(Word(6)) : 0; }
int GifBlocks::ScreenHeight() const { return size_ >= kHeaderSize ? static_cast<int>(Word(8)) : 0; }

QColor GifBlocks::Background() const {
  if (size_ < kHeaderSize || !(Byte(10) & 0x80)) return QColor(255, 255, 255);
  std::size_t entry = kHeaderSize + 3 * Byte(11);
  if (entry + 3 > kHeaderSize + globalTableSize_) return QColor(255, 255, 255);
  return QColor(static_cast<int>(Byte(entry)), static_cast<int>(Byte(entry + 1)), static_cast<int>(Byte(entry + 2)));
}

GifBlocks::Block GifBlocks::KindAt(std::size_t pos) const {
  if (pos >= size_) return Block::Unknown;
  switch (Byte(pos)) {
    case 0x2C: return Block::Image;
    case 0x3B: return Block::Trailer;
    case 0x21:
      if (pos + 1 >= size_) return Block::Unknown;
      switch (Byte(pos + 1)) {
        case 0xF9: return Block::GraphicControl;
        case 0xFE: return Block::Comment;
        case 0xFF: return Block::Application;
        default: return Block::OtherExtension;
      }
    default: return Block::Unknown;
  }
}

std::optional<std::size_t> GifBlocks::SubBlocksLength(std::size_t pos) const {
  std::size_t at = pos;
  while (at < size_) {
    std::size_t length = Byte(at);
    if (length == 0) return at + 1 - pos;
    at += 1 + length;
  }
  return std::nullopt;
}

std::optional<std::size_t> GifBlocks::BlockLength(std::size_t pos) const {
  std::optional<std::size_t> length;
  auto withSubBlocks = [&](std::size_t fixed) -> std::optional<std::size_t> {
    if (pos + fixed > size_) return std::nullopt;
    auto chain = SubBlocksLength(pos + fixed);
    if (!chain) return std::nullopt;
    return fixed + *chain;
  };
  switch (KindAt(pos)) {
    case Block::GraphicControl: length = 8; break;
    case Block::Comment: length = withSubBlocks(2); break;
    case Block::Application: length = withSubBlocks(14); break;
    case Block::OtherExtension: length = withSubBlocks(15); break;
    case Block::Image:
      if (pos + 10 > size_) return std::nullopt;
      length = withSubBlocks(11 + ColourTableSize(Byte(pos + 9)));
      break;
    case Block::Trailer: length = 1; break;
    case Block::Unknown: return std::nullopt;
  }
  if (!length || pos + *length > size_) return std::nullopt;
  return length;
}

std::optional<GifBlocks::Span> GifBlocks::NextFrame(std::size_t pos) const {
  // Application and comment extensions before a frame belong to no frame.
  while (KindAt(pos) == Block::Application || KindAt(pos) == Block::Comment) {
    auto length = BlockLength(pos);
    if (!length) return std::nullopt;
    pos += *length;
  }
  Span span{pos, pos, std::nullopt, pos};
  if (KindAt(pos) == Block::GraphicControl) span.control = pos;
  // A frame runs from here up to and including the next image.
  while (true) {
    Block kind = KindAt(pos);
    if (kind == Block::Trailer || kind == Block::Unknown) return std::nullopt;
    auto length = BlockLength(pos);
    if (!length) return std::nullopt;
    if (kind == Block::Image) {
      span.image = pos;
      span.end = pos + *length;
      return span;
    }
    pos += *length;
    if (!span.control) {
      // An extension without a graphic control extension before it stands alone.
      span.begin = pos;
    }
  }
}

int GifBlocks::ImageCount() const {
  if (!IsGif(data_) || size_ < kHeaderSize) return 0;
  int count = 0;
  for (auto span = NextFrame(FirstBlock()); span; span = NextFrame(span->end)) ++count;
  return count;
}

std::vector<GifFrameBlocks> GifBlocks::Frames() const {
  std::vector<GifFrameBlocks> frames;
  if (!IsGif(data_) || size_ < kHeaderSize) return frames;
  const QByteArray header = data_.left(static_cast<qsizetype>(FirstBlock()));
  for (auto span = NextFrame(FirstBlock()); span; span = NextFrame(span->end)) {
    GifFrameBlocks frame;
    if (span->control) {
      frame.delay = static_cast<int>(Word(*span->control + 4));
      frame.disposal = static_cast<int>((Byte(*span->control + 3) >> 2) & 7);
    }
    std::size_t d = span->image;
    frame.x = static_cast<int>(Word(d + 1));
    frame.y = static_cast<int>(Word(d + 3));
    frame.width = static_cast<int>(Word(d + 5));
    frame.height = static_cast<int>(Word(d + 7));
    frame.singleImageGif =
        header + data_.mid(static_cast<qsizetype>(span->begin), static_cast<qsizetype>(span->end - span->begin));
    frame.singleImageGif.append(char(0x3B));
    frames.push_back(std::move(frame));
  }
  return frames;
}

}  // namespace mirvale
