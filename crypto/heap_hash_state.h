#pragma once
// The HashAlgorithm record operations over an incremental hash: the state lives on the heap
// from begin to finish, and finish (which wipes it) also releases it.

#include <cstddef>

#include "crypto/context_memory.h"

template <typename State, void (*Begin)(State*)>
void* heap_hash_begin() {
  State* state = context_alloc<State>();
  Begin(state);
  return state;
}

template <typename State, void (*Feed)(State*, const void*, std::size_t)>
void heap_hash_feed(void* state, const void* data, std::size_t length) {
  Feed(static_cast<State*>(state), data, length);
}

template <typename State, void (*Finish)(State*, unsigned char*)>
void heap_hash_finish(void* state, unsigned char* digest) {
  State* typed = static_cast<State*>(state);
  Finish(typed, digest);  // wipes the state
  checked_free(typed);
}
