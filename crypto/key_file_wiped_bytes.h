#pragma once
// A byte buffer for key material: wiped before its memory is released or reused.
#include <cstddef>
#include <cstring>
#include <vector>

#include "crypto/secure_clear.h"

class WipedBytes {
 public:
  WipedBytes() = default;
  explicit WipedBytes(size_t size) : bytes_(size) {}
  WipedBytes(const WipedBytes&) = delete;
  WipedBytes& operator=(const WipedBytes&) = delete;
  ~WipedBytes() { wipe(); }

  void wipe() { secure_clear(bytes_.data(), bytes_.size()); }
  // Grows without leaving copies of the old contents behind.
  void resize(size_t size) {
    if (size > bytes_.capacity()) {
      WipedBytes bigger;
      bigger.bytes_.reserve(2 * size);
      bigger.bytes_.assign(bytes_.begin(), bytes_.end());
      bytes_.swap(bigger.bytes_);
    } else if (size < bytes_.size()) {
      secure_clear(bytes_.data() + size, bytes_.size() - size);
    }
    bytes_.resize(size);
  }
  void append(const void* data, size_t length) {
    size_t old = bytes_.size();
    resize(old + length);
    if (length) std::memcpy(bytes_.data() + old, data, length);
  }

  unsigned char* data() { return bytes_.data(); }
  const unsigned char* data() const { return bytes_.data(); }
  size_t size() const { return bytes_.size(); }
  int length() const { return static_cast<int>(bytes_.size()); }
  unsigned char& operator[](size_t i) { return bytes_[i]; }
  const unsigned char& operator[](size_t i) const { return bytes_[i]; }

 private:
  std::vector<unsigned char> bytes_;
};
