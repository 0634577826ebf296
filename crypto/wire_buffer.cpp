#include "crypto/wire_buffer.h"

#include <climits>
#include <cstring>

#include "base/memory.h"
#include "crypto/byte_order.h"
#include "crypto/secure_clear.h"

WireBuffer::WireBuffer(const void* data, std::ptrdiff_t length)
    : view_(static_cast<const unsigned char*>(data)), view_size_(length < 0 || !data ? 0 : size_t(length)) {
  // An empty view still reads as a view, so that a put does not mistake it for owned bytes.
  static const unsigned char nothing = 0;
  if (!view_) view_ = &nothing;
}

WireBuffer::~WireBuffer() { secure_clear(owned_.data(), owned_.size()); }

void WireBuffer::own_view() {
  if (!view_) return;
  const unsigned char* from = view_;
  size_t length = view_size_;
  view_ = nullptr;
  view_size_ = 0;
  put_raw(from, length);
}

void WireBuffer::put_raw(const void* bytes, size_t length) {
  own_view();
  // Grow by hand so that no unwiped copy of earlier bytes is left behind by a reallocation.
  size_t needed = owned_.size() + length;
  if (needed > owned_.capacity()) {
    std::vector<unsigned char> larger;
    larger.reserve(needed * 2);
    larger.assign(owned_.begin(), owned_.end());
    secure_clear(owned_.data(), owned_.size());
    owned_.swap(larger);
  }
  const auto* from = static_cast<const unsigned char*>(bytes);
  if (length) owned_.insert(owned_.end(), from, from + length);
}

void WireBuffer::put_byte(uint8_t value) { put_raw(&value, 1); }

void WireBuffer::put_uint32(uint32_t value) {
  unsigned char be[4];
  store_be32(be, value);
  put_raw(be, 4);
}

void WireBuffer::put_string(const void* bytes, size_t length) {
  put_uint32(static_cast<uint32_t>(length));
  put_raw(bytes, length);
}

void WireBuffer::put_mpint(ConstBigNum value) {
  // Zero is the empty string on the wire, not a single zero byte.
  int bits = bn_bit_count(value);
  size_t length = bits == 0 ? 0 : (bits + 8) / 8;
  put_uint32(static_cast<uint32_t>(length));
  size_t start = size();
  std::vector<unsigned char> zeros(length, 0);
  put_raw(zeros.data(), length);
  if (length) wire_mpint_body(value, owned_.data() + start);
}

void WireBuffer::put_mpint_ssh1(ConstBigNum value) {
  int length = bn_ssh1_size(value);
  size_t start = size();
  std::vector<unsigned char> zeros(length, 0);
  put_raw(zeros.data(), zeros.size());
  bn_write_ssh1(owned_.data() + start, value);
}

const unsigned char* WireBuffer::take(size_t length) {
  if (failed_ || length > remaining()) {
    failed_ = true;
    return nullptr;
  }
  const unsigned char* at = position();
  read_ += length;
  return at;
}

uint8_t WireBuffer::get_byte() {
  const unsigned char* at = take(1);
  return at ? *at : 0;
}

uint32_t WireBuffer::get_uint32() {
  const unsigned char* at = take(4);
  return at ? load_be32(at) : 0;
}

std::string_view WireBuffer::get_raw(size_t length) {
  const unsigned char* at = take(length);
  if (!at) return {};
  return {reinterpret_cast<const char*>(at), length};
}

std::string_view WireBuffer::get_string() {
  uint32_t length = get_uint32();
  return failed_ ? std::string_view{} : get_raw(length);
}

bool WireBuffer::get_string_equal(std::string_view expected) {
  std::string_view text = get_string();
  return !failed_ && text == expected;
}

BigNum WireBuffer::get_mpint() {
  std::string_view body = get_string();
  if (failed_) return nullptr;
  if (!body.empty() && (wire_bytes(body)[0] & 0x80)) {
    failed_ = true;
    return nullptr;
  }
  return bn_from_bytes_be(wire_bytes(body), static_cast<int>(body.size()));
}

BigNum WireBuffer::get_mpint_ssh1() {
  if (failed_) return nullptr;
  BigNum value = nullptr;
  int available = remaining() > size_t(INT_MAX) ? INT_MAX : static_cast<int>(remaining());
  int used = bn_read_ssh1(position(), available, &value);
  if (used < 0) {
    failed_ = true;
    return nullptr;
  }
  read_ += static_cast<size_t>(used);
  return value;
}

unsigned char* WireBuffer::release_copy(int* length) const {
  auto* copy = static_cast<unsigned char*>(checked_alloc(size(), 1));
  if (size()) std::memcpy(copy, data(), size());
  *length = static_cast<int>(size());
  return copy;
}

void wire_mpint_body(ConstBigNum value, unsigned char* out) {
  int length = (bn_bit_count(value) + 8) / 8;
  for (int i = 0; i < length; ++i) out[i] = static_cast<unsigned char>(bn_byte_at(value, length - 1 - i));
}
