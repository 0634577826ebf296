#include "crypto/ssh2_blob.h"

#include <cstring>

#include "base/memory.h"
#include "crypto/secure_clear.h"

bool Ssh2BlobReader::read_string(const unsigned char** bytes, int* length) {
  if (failed_ || left_ < 4) {
    failed_ = true;
    return false;
  }
  uint32_t size = (uint32_t{data_[0]} << 24) | (uint32_t{data_[1]} << 16) | (uint32_t{data_[2]} << 8) | data_[3];
  if (size > static_cast<uint32_t>(left_ - 4)) {
    failed_ = true;
    return false;
  }
  *bytes = data_ + 4;
  *length = static_cast<int>(size);
  data_ += 4 + size;
  left_ -= 4 + static_cast<int>(size);
  return true;
}

bool Ssh2BlobReader::read_string_equal(std::string_view expected) {
  const unsigned char* bytes;
  int length;
  if (!read_string(&bytes, &length)) return false;
  return static_cast<std::size_t>(length) == expected.size() && std::memcmp(bytes, expected.data(), length) == 0;
}

BigNum Ssh2BlobReader::read_mpint() {
  const unsigned char* bytes;
  int length;
  if (!read_string(&bytes, &length)) return nullptr;
  if (length > 0 && (bytes[0] & 0x80)) {
    failed_ = true;
    return nullptr;
  }
  return bn_from_bytes_be(bytes, length);
}

bool Ssh2BlobReader::skip(int count) {
  if (failed_ || count < 0 || count > left_) {
    failed_ = true;
    return false;
  }
  data_ += count;
  left_ -= count;
  return true;
}

Ssh2BlobBuilder::~Ssh2BlobBuilder() { secure_clear(bytes_.data(), bytes_.size()); }

void Ssh2BlobBuilder::add_uint32(uint32_t value) {
  unsigned char be[4] = {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
                         static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
  add_raw(be, 4);
}

void Ssh2BlobBuilder::add_raw(const void* bytes, int length) {
  // Grow by hand so no unwiped copy of earlier bytes is left behind by a reallocation.
  std::size_t needed = bytes_.size() + static_cast<std::size_t>(length);
  if (needed > bytes_.capacity()) {
    std::vector<unsigned char> larger;
    larger.reserve(needed * 2);
    larger.assign(bytes_.begin(), bytes_.end());
    secure_clear(bytes_.data(), bytes_.size());
    bytes_.swap(larger);
  }
  const auto* from = static_cast<const unsigned char*>(bytes);
  bytes_.insert(bytes_.end(), from, from + length);
}

void Ssh2BlobBuilder::add_string(const void* bytes, int length) {
  add_uint32(static_cast<uint32_t>(length));
  add_raw(bytes, length);
}

void Ssh2BlobBuilder::add_mpint(ConstBigNum value) {
  int length = (bn_bit_count(value) + 8) / 8;
  add_uint32(static_cast<uint32_t>(length));
  std::size_t start = bytes_.size();
  std::vector<unsigned char> zeros(static_cast<std::size_t>(length), 0);
  add_raw(zeros.data(), length);
  ssh2_mpint_body(value, bytes_.data() + start);
}

unsigned char* Ssh2BlobBuilder::release_copy(int* length) const {
  auto* copy = static_cast<unsigned char*>(checked_alloc(bytes_.size(), 1));
  if (!bytes_.empty()) std::memcpy(copy, bytes_.data(), bytes_.size());
  *length = size();
  return copy;
}

void ssh2_mpint_body(ConstBigNum value, unsigned char* out) {
  int length = (bn_bit_count(value) + 8) / 8;
  for (int i = 0; i < length; ++i) out[i] = static_cast<unsigned char>(bn_byte_at(value, length - 1 - i));
}
