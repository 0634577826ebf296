#include "common/archive_reader.h"

#include "common/ansi_code_page.h"
#include "common/archive_limits.h"

namespace mirvale {

namespace {

constexpr uint8_t kObjectEntry = 0;
constexpr uint16_t kUtf16Marker = 0xFFFE;

}  // namespace

void ArchiveReader::Need(size_t count) const {
  if (count > Remaining()) throw ArchiveError("unexpected end of file");
}

uint8_t ArchiveReader::ReadByte() {
  Need(1);
  return static_cast<uint8_t>(bytes_[position_++]);
}

uint16_t ArchiveReader::ReadWord() {
  Need(2);
  uint16_t low = ReadByte();
  uint16_t high = ReadByte();
  return static_cast<uint16_t>(low | (high << 8));
}

uint32_t ArchiveReader::ReadDword() {
  Need(4);
  uint32_t low = ReadWord();
  uint32_t high = ReadWord();
  return low | (high << 16);
}

uint32_t ArchiveReader::ReadCount() {
  uint16_t count = ReadWord();
  if (count != 0xFFFF) return count;
  return ReadDword();
}

// The length of a text in one of its three forms, or the marker of the wide form.
ArchiveReader::TextLength ArchiveReader::ReadTextLength() {
  uint8_t first = ReadByte();
  if (first != 0xFF) return {first, false};
  uint16_t second = ReadWord();
  if (second == kUtf16Marker) return {0, true};
  if (second != 0xFFFF) return {second, false};
  return {ReadDword(), false};
}

std::string ArchiveReader::ReadText() {
  TextLength length = ReadTextLength();
  if (length.wide) return ReadUtf16Text();
  Need(length.count);
  std::string text(bytes_.substr(position_, length.count));
  position_ += length.count;
  return text;
}

// Files of these programs never hold this form; it is read for older writers.
std::string ArchiveReader::ReadUtf16Text() {
  TextLength length = ReadTextLength();
  if (length.wide) throw ArchiveError("nested wide-text marker");
  if (length.count > Remaining() / 2) throw ArchiveError("unexpected end of file");
  std::string text;
  text.reserve(length.count);
  for (uint32_t i = 0; i < length.count; ++i) {
    uint16_t unit = ReadWord();
    text.push_back(WideToAnsi(unit));
  }
  return text;
}

void ArchiveReader::TakeIndex(uint8_t entry) {
  if (entries_.size() >= kMaxArchiveIndex) throw ArchiveError("too many objects in file");
  entries_.push_back(entry);
}

void ArchiveReader::TakeRecords(ClassId id, uint32_t count) {
  const size_t slot = static_cast<size_t>(id);
  recordsTaken_[slot] += count;
  if (recordsTaken_[slot] > recordCaps_[slot]) {
    throw ArchiveError("more than " + std::to_string(recordCaps_[slot]) + " records of class " +
                       std::string(GetClassInfo(id).name));
  }
}

ClassId ArchiveReader::ReadNewClass() {
  uint16_t schema = ReadWord();
  uint16_t length = ReadWord();
  if (length >= kMaxClassNameLength) throw ArchiveError("class name too long");
  Need(length);
  std::string_view name = bytes_.substr(position_, length);
  position_ += length;
  auto id = FindClassByName(name);
  if (!id) throw ArchiveError("unknown class " + std::string(name));
  if (GetClassInfo(*id).schema != schema) throw ArchiveError("wrong schema for class " + std::string(name));
  TakeIndex(static_cast<uint8_t>(*id));
  return *id;
}

void ArchiveReader::BeginObject(ClassId expected) {
  uint16_t word = ReadWord();
  ClassId id;
  if (word == kNewClassTag) {
    id = ReadNewClass();
  } else {
    uint32_t tag = word == kLongTag ? ReadDword()
                                    : (word & 0x7FFFu) | (static_cast<uint32_t>(word & kClassTagBit) << 16);
    if (!(tag & kLongClassTagBit)) {
      // These programs store every object once: a null or a second reference to an object
      // already read would leave a record without data or with two owners.
      if (tag == 0) throw ArchiveError("null where a record is expected");
      throw ArchiveError("reference to an object already read");
    }
    uint32_t index = tag & ~kLongClassTagBit;
    if (index == 0 || index >= entries_.size() || entries_[index] == kObjectEntry) {
      throw ArchiveError("class index not read before");
    }
    id = static_cast<ClassId>(entries_[index]);
  }
  if (id != expected) {
    throw ArchiveError("found " + std::string(GetClassInfo(id).name) + " where " +
                       std::string(GetClassInfo(expected).name) + " is expected");
  }
  TakeIndex(kObjectEntry);
}

}  // namespace mirvale
