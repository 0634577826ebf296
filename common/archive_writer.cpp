#include "common/archive_writer.h"

#include "common/archive_error.h"
#include "common/archive_limits.h"

namespace mirvale {

void ArchiveWriter::WriteByte(uint8_t value) { bytes_.push_back(static_cast<char>(value)); }

void ArchiveWriter::WriteWord(uint16_t value) {
  const char bytes[2] = {static_cast<char>(value), static_cast<char>(value >> 8)};
  bytes_.append(bytes, sizeof bytes);
}

void ArchiveWriter::WriteDword(uint32_t value) {
  const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                         static_cast<char>(value >> 24)};
  bytes_.append(bytes, sizeof bytes);
}

void ArchiveWriter::WriteText(std::string_view text) {
  size_t length = text.size();
  if (length > UINT32_MAX) throw ArchiveError("text too long to store");
  if (length < 0xFF) {
    WriteByte(static_cast<uint8_t>(length));
  } else if (length < 0xFFFE) {
    WriteByte(0xFF);
    WriteWord(static_cast<uint16_t>(length));
  } else {
    WriteByte(0xFF);
    WriteWord(0xFFFF);
    WriteDword(static_cast<uint32_t>(length));
  }
  bytes_.append(text);
}

void ArchiveWriter::WriteCount(size_t count) {
  if (count > UINT32_MAX) throw ArchiveError("map too large to store");
  if (count < 0xFFFF) {
    WriteWord(static_cast<uint16_t>(count));
  } else {
    WriteWord(0xFFFF);
    WriteDword(static_cast<uint32_t>(count));
  }
}

uint32_t ArchiveWriter::TakeIndex() {
  if (next_index_ >= kMaxArchiveIndex) throw ArchiveError("too many objects for one file");
  return next_index_++;
}

void ArchiveWriter::BeginObject(ClassId id) {
  uint32_t& class_index = class_index_[static_cast<size_t>(id)];
  if (class_index == 0) {
    const ClassInfo& info = GetClassInfo(id);
    WriteWord(kNewClassTag);
    WriteWord(info.schema);
    WriteWord(static_cast<uint16_t>(info.name.size()));
    bytes_.append(info.name);
    class_index = TakeIndex();
  } else if (class_index < kLongTagThreshold) {
    WriteWord(static_cast<uint16_t>(kClassTagBit | class_index));
  } else {
    WriteWord(kLongTag);
    WriteDword(kLongClassTagBit | class_index);
  }
  TakeIndex();  // the object itself
}

}  // namespace mirvale
