#pragma once
// A byte vector whose memory is wiped whenever it is released, also when the vector grows into a
// new block or goes away: for buffers that hold plaintext or secrets.
#include <cstddef>
#include <memory>
#include <vector>

#include "crypto/secure_clear.h"

template <typename T>
struct WipingAllocator {
  using value_type = T;
  WipingAllocator() = default;
  template <typename U>
  WipingAllocator(const WipingAllocator<U>&) {}
  T* allocate(std::size_t count) { return std::allocator<T>().allocate(count); }
  void deallocate(T* memory, std::size_t count) {
    secure_clear(memory, count * sizeof(T));
    std::allocator<T>().deallocate(memory, count);
  }
  template <typename U>
  bool operator==(const WipingAllocator<U>&) const {
    return true;
  }
};

using WipedVector = std::vector<unsigned char, WipingAllocator<unsigned char>>;

// Drops the first count bytes, wiping the places the rest moved away from.
inline void wiped_erase_front(WipedVector& bytes, std::size_t count) {
  std::size_t old_size = bytes.size();
  secure_clear(bytes.data(), count);
  bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
  secure_clear(bytes.data() + bytes.size(), old_size - bytes.size());
}
