#pragma once
// The SSH wire encodings in one buffer: byte, boolean, uint32 (big-endian), string (uint32
// length and bytes), mpint (SSH-2: a string holding the big-endian two's-complement value;
// SSH-1: a 16-bit bit count and the value's bytes).
//
// Writing appends to bytes the buffer owns; they are wiped when the buffer goes away or grows,
// since they may hold private values. Reading walks from the front, either over the buffer's
// own bytes or over bytes it was given to read (a view: they must outlive it; a put first
// copies them). Reading past the end fails, and the failure is sticky: every later get fails
// too and returns an empty value, so a parser may read a whole record and check failed() once.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "crypto/bignum.h"

class WireBuffer {
 public:
  WireBuffer() = default;
  // A view for reading; a negative length reads as empty.
  WireBuffer(const void* data, std::ptrdiff_t length);
  WireBuffer(const WireBuffer&) = delete;
  WireBuffer& operator=(const WireBuffer&) = delete;
  ~WireBuffer();

  void put_byte(uint8_t value);
  void put_bool(bool value) { put_byte(value ? 1 : 0); }
  void put_uint32(uint32_t value);
  void put_string(const void* bytes, size_t length);
  void put_string(std::string_view text) { put_string(text.data(), text.size()); }
  void put_mpint(ConstBigNum value);
  void put_mpint_ssh1(ConstBigNum value);
  void put_raw(const void* bytes, size_t length);

  // 0, false or empty once failed.
  uint8_t get_byte();
  bool get_bool() { return get_byte() != 0; }
  uint32_t get_uint32();
  // The string's bytes inside the buffer (valid while the buffer is neither written nor gone).
  std::string_view get_string();
  // True when the next string is exactly the text.
  bool get_string_equal(std::string_view expected);
  // A new value, or none when short; an SSH-2 mpint with its top bit set (negative) fails too.
  BigNum get_mpint();
  BigNum get_mpint_ssh1();
  // The next length bytes.
  std::string_view get_raw(size_t length);
  bool skip(size_t length) { return get_raw(length).data() != nullptr; }

  bool failed() const { return failed_; }
  size_t remaining() const { return size() - read_; }
  const unsigned char* position() const { return data() + read_; }
  const unsigned char* data() const { return view_ ? view_ : owned_.data(); }
  size_t size() const { return view_ ? view_size_ : owned_.size(); }
  // What was put (the buffer's own bytes).
  const std::vector<unsigned char>& bytes() const { return owned_; }
  // A copy from checked_alloc for callers that release with checked_free.
  unsigned char* release_copy(int* length) const;

 private:
  const unsigned char* take(size_t length);
  void own_view();

  std::vector<unsigned char> owned_;
  const unsigned char* view_ = nullptr;
  size_t view_size_ = 0;
  size_t read_ = 0;
  bool failed_ = false;
};

inline const unsigned char* wire_bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

// The (bits + 8) / 8 big-endian bytes of an SSH-2 mpint's body.
void wire_mpint_body(ConstBigNum value, unsigned char* out);
