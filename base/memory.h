#pragma once
// Allocation that never reports failure to its caller: when memory runs out the process ends
// through the fatal-exit path with "Out of memory!". Owned texts are zero-terminated and
// released with checked_free.
#include <cstdarg>
#include <cstddef>

// count * size bytes (1 byte when the product is 0). Products above 2,147,483,647 are refused
// as out of memory, so callers never see a truncated size.
void* checked_alloc(size_t count, size_t size);
// Resizes; a null pointer allocates anew.
void* checked_realloc(void* pointer, size_t count, size_t size);
void checked_free(void* pointer);

template <typename T>
T* checked_new_array(size_t count) {
  return static_cast<T*>(checked_alloc(count, sizeof(T)));
}

template <typename T>
T* checked_resize_array(T* pointer, size_t count) {
  return static_cast<T*>(checked_realloc(pointer, count, sizeof(T)));
}

// New copy of a text; null gives null.
char* text_clone(const char* text);
// New text joining every text of the list up to the terminating null.
char* text_concat(const char* first, ...);
// New text printed by printf rules.
char* text_format(const char* format, ...) __attribute__((format(printf, 1, 2)));
char* text_format_va(const char* format, va_list arguments);
