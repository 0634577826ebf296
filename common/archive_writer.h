#pragma once
// Writes the archive format of the shared files into a byte buffer: little-endian numbers,
// length-prefixed texts, counted maps and class-tagged objects. Each record lists its fields
// once (VisitFields); the writer and the reader walk that same list, so the two orders agree.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/archive_limits.h"
#include "common/class_table.h"
#include "common/record_map.h"

namespace mirvale {

class ArchiveWriter {
 public:
  void WriteByte(uint8_t value);
  void WriteWord(uint16_t value);
  void WriteDword(uint32_t value);
  void WriteText(std::string_view text);
  void WriteCount(size_t count);
  void WriteNull() { WriteWord(0); }

  // A record as an object reference: its class tag, then its own fields.
  template <typename Record>
  void WriteObject(const Record& record) {
    BeginObject(Record::kClassId);
    Record::VisitFields(*this, record);
  }

  // A map that is a member of a record: an object of class "CMapStringToOb".
  template <typename Record>
  void WriteObject(const RecordMap<Record>& map) {
    BeginObject(ClassId::MapStringToOb);
    WriteMap(map);
  }

  // A map at the top level of a file, or the body of a map object: Count, then key and record.
  template <typename Record>
  void WriteMap(const RecordMap<Record>& map) {
    WriteCount(map.size());
    for (const auto& [key, record] : map) {
      WriteText(key);
      WriteObject(*record);
    }
  }

  // Field visitor used by the records' VisitFields.
  void Field(std::string_view, const std::string& text) { WriteText(text); }
  void Field(std::string_view, const uint32_t& value) { WriteDword(value); }
  template <typename Record>
  void Field(std::string_view, const RecordMap<Record>& map) { WriteObject(map); }
  template <typename Record>
  void BareMap(std::string_view, const RecordMap<Record>& map) { WriteMap(map); }

  // Sizes the buffer once: a file grown by doubling passes through copies of up to twice its size.
  void Reserve(size_t bytes) { bytes_.reserve(bytes); }
  const std::string& Bytes() const { return bytes_; }
  std::string TakeBytes() { return std::move(bytes_); }

 private:
  void BeginObject(ClassId id);
  uint32_t TakeIndex();

  std::string bytes_;
  uint32_t next_index_ = 1;
  std::array<uint32_t, kClassCount + 1> class_index_{};  // 0: class not written yet
};

// The most bytes ArchiveWriter::WriteMap can write for a map: walks the same fields, counting each
// text with its length prefix and each object with its longest tag.
class ArchiveSizeBound {
 public:
  template <typename Record>
  void Map(const RecordMap<Record>& map) {
    bytes_ += map.size() < 0xFFFF ? 2 : 6;
    for (const auto& [key, record] : map) {
      Text(key);
      bytes_ += kObjectTagBytes;
      Record::VisitFields(*this, *record);
    }
  }
  void Field(std::string_view, const std::string& text) { Text(text); }
  void Field(std::string_view, const uint32_t&) { bytes_ += 4; }
  template <typename Record>
  void Field(std::string_view, const RecordMap<Record>& map) {
    bytes_ += kObjectTagBytes;
    Map(map);
  }
  template <typename Record>
  void BareMap(std::string_view, const RecordMap<Record>& map) { Map(map); }

  // Each class's name is written once, with its tag.
  size_t Bytes() const { return bytes_ + kClassCount * (6 + kMaxClassNameLength); }

 private:
  static constexpr size_t kObjectTagBytes = 6;
  void Text(std::string_view text) { bytes_ += text.size() + (text.size() < 0xFF ? 1 : text.size() < 0xFFFE ? 3 : 7); }

  size_t bytes_ = 0;
};

}  // namespace mirvale
