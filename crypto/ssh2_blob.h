#pragma once
// Reading and writing the SSH-2 encodings of public-key blobs and signatures: a string is a
// 4-byte big-endian length and its bytes; an mpint is a string holding a big-endian value in
// (bits + 8) / 8 bytes, so a set top bit gets a zero byte in front.

#include <string_view>
#include <vector>

#include "crypto/bignum.h"

class Ssh2BlobReader {
 public:
  Ssh2BlobReader(const unsigned char* data, int length) : data_(data), left_(length < 0 ? 0 : length) {}

  // False when the blob is too short; the reader then stays failed.
  bool read_string(const unsigned char** bytes, int* length);
  bool read_string_equal(std::string_view expected);
  // A new value, or nullptr when short or negative (top bit of the first byte set).
  BigNum read_mpint();
  bool skip(int count);

  bool failed() const { return failed_; }
  int left() const { return left_; }
  const unsigned char* position() const { return data_; }

 private:
  const unsigned char* data_;
  int left_;
  bool failed_ = false;
};

// Collects an encoding; the bytes are wiped when the builder goes away since they may hold
// private values.
class Ssh2BlobBuilder {
 public:
  ~Ssh2BlobBuilder();
  void add_uint32(uint32_t value);
  void add_string(const void* bytes, int length);
  void add_string(std::string_view text) { add_string(text.data(), static_cast<int>(text.size())); }
  void add_mpint(ConstBigNum value);
  void add_raw(const void* bytes, int length);

  const std::vector<unsigned char>& bytes() const { return bytes_; }
  int size() const { return static_cast<int>(bytes_.size()); }
  // A copy from checked_alloc for callers that release with checked_free.
  unsigned char* release_copy(int* length) const;

 private:
  std::vector<unsigned char> bytes_;
};

// The (bits + 8) / 8 big-endian bytes of an mpint's body.
void ssh2_mpint_body(ConstBigNum value, unsigned char* out);
