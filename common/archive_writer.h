#pragma once
// Writes the archive format of the shared files into a byte buffer: little-endian numbers,
// length-prefixed texts, counted maps and class-tagged objects. Each record lists its fields
// once (VisitFields); the writer and the reader walk that same list, so the two orders agree.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

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

  const std::string& Bytes() const { return bytes_; }
  std::string TakeBytes() { return std::move(bytes_); }

 private:
  void BeginObject(ClassId id);
  uint32_t TakeIndex();

  std::string bytes_;
  uint32_t next_index_ = 1;
  std::array<uint32_t, kClassCount + 1> class_index_{};  // 0: class not written yet
};

}  // namespace mirvale
