#pragma once
// Reads the archive format of the shared files from a byte buffer. Every length and count is
// checked against the bytes left before anything is allocated; any fault throws ArchiveError.
// Maps are read into a fresh map that replaces the target only once it is complete.
#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/archive_error.h"
#include "common/class_table.h"
#include "common/record_map.h"

namespace mirvale {

class ArchiveReader {
 public:
  // The reader keeps a view: the bytes must outlive it.
  explicit ArchiveReader(std::string_view bytes) : bytes_(bytes) {}
  explicit ArchiveReader(std::string&&) = delete;

  // At most this many records of the class in the whole file (every map of them together);
  // a map whose count would pass it is refused before any of its records is built.
  void CapRecords(ClassId id, uint32_t most) { recordCaps_[static_cast<size_t>(id)] = most; }
  // Each record is dropped as soon as it is read and every map is left empty: the bytes are
  // checked whole while at most one record of each level is in memory.
  void CheckOnly() { checkOnly_ = true; }

  uint8_t ReadByte();
  uint16_t ReadWord();
  uint32_t ReadDword();
  std::string ReadText();
  uint32_t ReadCount();

  // A record as an object reference of the expected class.
  template <typename Record>
  std::unique_ptr<Record> ReadObject() {
    BeginObject(Record::kClassId);
    auto record = std::make_unique<Record>();
    Record::VisitFields(*this, *record);
    return record;
  }

  // A map that is a member of a record: an object of class "CMapStringToOb".
  template <typename Record>
  void ReadMapObject(RecordMap<Record>& map) {
    BeginObject(ClassId::MapStringToOb);
    ReadMap(map);
  }

  // A map layout; what it holds replaces the map's contents. A key that occurs twice keeps
  // the later record.
  template <typename Record>
  void ReadMap(RecordMap<Record>& map) {
    uint32_t count = ReadCount();
    // Each entry takes at least a one-byte key and a two-byte tag.
    if (count > Remaining() / 3) throw ArchiveError("map count beyond the end of the file");
    TakeRecords(Record::kClassId, count);
    RecordMap<Record> fresh;
    for (uint32_t i = 0; i < count; ++i) {
      std::string key = ReadText();
      auto record = ReadObject<Record>();
      if (!checkOnly_) fresh.Set(key, std::move(record));
    }
    map.swap(fresh);
  }

  // Field visitor used by the records' VisitFields.
  void Field(std::string_view, std::string& text) { text = ReadText(); }
  void Field(std::string_view, uint32_t& value) { value = ReadDword(); }
  template <typename Record>
  void Field(std::string_view, RecordMap<Record>& map) { ReadMapObject(map); }
  template <typename Record>
  void BareMap(std::string_view, RecordMap<Record>& map) { ReadMap(map); }

  size_t Position() const { return position_; }
  size_t Remaining() const { return bytes_.size() - position_; }

 private:
  struct TextLength {
    uint32_t count;
    bool wide;  // UTF-16 text: its length in characters follows
  };

  void Need(size_t count) const;
  TextLength ReadTextLength();
  std::string ReadUtf16Text();
  void BeginObject(ClassId expected);
  ClassId ReadNewClass();
  void TakeIndex(uint8_t entry);
  void TakeRecords(ClassId id, uint32_t count);

  std::string_view bytes_;
  size_t position_ = 0;
  bool checkOnly_ = false;
  // What each index stands for: kObjectEntry, or the ClassId of a class.
  std::vector<uint8_t> entries_{0};
  // Per class: the cap, and the records the maps read so far announced.
  std::array<uint64_t, kClassCount + 1> recordCaps_ = [] {
    std::array<uint64_t, kClassCount + 1> unbounded;
    unbounded.fill(std::numeric_limits<uint64_t>::max());
    return unbounded;
  }();
  std::array<uint64_t, kClassCount + 1> recordsTaken_{};
};

}  // namespace mirvale
