#pragma once
// A string-keyed map that owns its records. Copies are deep: every record (and every map inside
// it) is duplicated, so a copy stays whole whatever happens to the original. A stored entry
// never holds a null record. Each record lives in its map's node, which reads like the pointer
// an owning map would hold: a settings file at every record cap holds over a million records,
// and a node and a record apart would cost each another allocation.
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace mirvale {

template <typename Record>
class RecordSlot {
 public:
  explicit RecordSlot(Record record) : record_(std::move(record)) {}
  Record& operator*() { return record_; }
  const Record& operator*() const { return record_; }
  Record* operator->() { return &record_; }
  const Record* operator->() const { return &record_; }
  Record* get() { return &record_; }
  const Record* get() const { return &record_; }
  bool operator==(const RecordSlot& other) const { return record_ == other.record_; }

 private:
  Record record_;
};

template <typename Record>
class RecordMap {
 public:
  using Storage = std::map<std::string, RecordSlot<Record>, std::less<>>;
  using iterator = typename Storage::iterator;
  using const_iterator = typename Storage::const_iterator;
  using record_type = Record;

  RecordMap() = default;
  RecordMap(const RecordMap&) = default;
  RecordMap& operator=(const RecordMap& other) {
    if (this != &other) {
      RecordMap copy(other);
      items_.swap(copy.items_);
    }
    return *this;
  }
  RecordMap(RecordMap&&) noexcept = default;
  RecordMap& operator=(RecordMap&&) noexcept = default;
  ~RecordMap() = default;

  // Stores a record under key; a record already there is replaced. Returns the stored record.
  Record& Set(std::string_view key, std::unique_ptr<Record> record) {
    return Set(key, record ? std::move(*record) : Record());
  }
  Record& Set(std::string_view key, Record record) {
    auto at = items_.lower_bound(key);
    if (at != items_.end() && at->first == key) {
      *at->second = std::move(record);
      return *at->second;
    }
    return *items_.emplace_hint(at, std::string(key), RecordSlot<Record>(std::move(record)))->second;
  }

  // The record under key, made empty and stored when there is none.
  Record& FindOrAdd(std::string_view key) {
    auto found = items_.find(key);
    if (found != items_.end()) return *found->second;
    return Set(key, Record());
  }

  Record* Find(std::string_view key) {
    auto found = items_.find(key);
    return found == items_.end() ? nullptr : found->second.get();
  }
  const Record* Find(std::string_view key) const {
    auto found = items_.find(key);
    return found == items_.end() ? nullptr : found->second.get();
  }
  bool Contains(std::string_view key) const { return items_.find(key) != items_.end(); }

  // Deletes the record under key; false when there is none.
  bool Remove(std::string_view key) {
    auto found = items_.find(key);
    if (found == items_.end()) return false;
    items_.erase(found);
    return true;
  }

  void clear() { items_.clear(); }
  size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  void swap(RecordMap& other) noexcept { items_.swap(other.items_); }

  iterator begin() { return items_.begin(); }
  iterator end() { return items_.end(); }
  const_iterator begin() const { return items_.begin(); }
  const_iterator end() const { return items_.end(); }

  // Equal when both hold the same keys with equal records.
  bool operator==(const RecordMap& other) const {
    if (items_.size() != other.items_.size()) return false;
    auto mine = items_.begin();
    for (auto theirs = other.items_.begin(); theirs != other.items_.end(); ++theirs, ++mine) {
      if (mine->first != theirs->first || !(mine->second == theirs->second)) return false;
    }
    return true;
  }

 private:
  Storage items_;
};

}  // namespace mirvale
