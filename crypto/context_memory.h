#pragma once
// Allocation of cipher, MAC and hash contexts: zero-filled, never failing (the process ends
// with "Out of memory!" instead), and wiped before release so no key material lingers in
// freed memory.

#include <cstring>
#include <type_traits>

#include "base/memory.h"
#include "crypto/secure_clear.h"

template <typename T>
T* context_alloc() {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
  T* context = checked_new_array<T>(1);
  std::memset(static_cast<void*>(context), 0, sizeof(T));
  return context;
}

template <typename T>
void context_free(T* context) {
  if (!context) return;
  secure_clear(context, sizeof(T));
  checked_free(context);
}
