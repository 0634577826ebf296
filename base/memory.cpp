#include "base/memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/process_exit.h"

namespace {

constexpr size_t kLargestBlock = 2147483647;

size_t checked_product(size_t count, size_t size) {
  if (size != 0 && count > kLargestBlock / size) fatal_error_exit("Out of memory!");
  size_t bytes = count * size;
  return bytes == 0 ? 1 : bytes;
}

}  // namespace

void* checked_alloc(size_t count, size_t size) {
  void* block = std::malloc(checked_product(count, size));
  if (block == nullptr) fatal_error_exit("Out of memory!");
  return block;
}

void* checked_realloc(void* pointer, size_t count, size_t size) {
  void* block = std::realloc(pointer, checked_product(count, size));
  if (block == nullptr) fatal_error_exit("Out of memory!");
  return block;
}

void checked_free(void* pointer) { std::free(pointer); }

char* text_clone(const char* text) {
  if (text == nullptr) return nullptr;
  size_t length = std::strlen(text) + 1;
  char* copy = checked_new_array<char>(length);
  std::memcpy(copy, text, length);
  return copy;
}

char* text_concat(const char* first, ...) {
  va_list arguments;
  size_t length = 0;
  va_start(arguments, first);
  for (const char* piece = first; piece != nullptr; piece = va_arg(arguments, const char*))
    length += std::strlen(piece);
  va_end(arguments);

  char* joined = checked_new_array<char>(length + 1);
  char* end = joined;
  va_start(arguments, first);
  for (const char* piece = first; piece != nullptr; piece = va_arg(arguments, const char*)) {
    size_t piece_length = std::strlen(piece);
    std::memcpy(end, piece, piece_length);
    end += piece_length;
  }
  va_end(arguments);
  *end = '\0';
  return joined;
}

char* text_format_va(const char* format, va_list arguments) {
  size_t size = 512;
  char* buffer = checked_new_array<char>(size);
  for (;;) {
    va_list copy;
    va_copy(copy, arguments);
    int needed = std::vsnprintf(buffer, size, format, copy);
    va_end(copy);
    if (needed >= 0 && static_cast<size_t>(needed) < size) return buffer;
    // A printing routine that reports no size gets 512 more bytes each turn.
    size = needed >= 0 ? static_cast<size_t>(needed) + 1 : size + 512;
    buffer = checked_resize_array(buffer, size);
  }
}

char* text_format(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  char* text = text_format_va(format, arguments);
  va_end(arguments);
  return text;
}
