#pragma once
// Wiping of key material and intermediate state before memory is released or reused. A
// plain memset before free is removed by the optimiser; explicit_bzero is not.

#include <cstddef>

#include <string.h>

inline void secure_clear(void* memory, std::size_t length) {
  if (memory && length) explicit_bzero(memory, length);
}

template <typename T>
inline void secure_clear_object(T& object) {
  secure_clear(&object, sizeof object);
}

// Clears an object when it goes out of scope, for stack copies of keys and hash states.
template <typename T>
class ScopedClear {
 public:
  explicit ScopedClear(T& object) : object_(object) {}
  ~ScopedClear() { secure_clear_object(object_); }
  ScopedClear(const ScopedClear&) = delete;
  ScopedClear& operator=(const ScopedClear&) = delete;

 private:
  T& object_;
};
