#include "crypto/key_file_text.h"

#include <cstdio>

namespace {

constexpr size_t max_header_name = 39;
constexpr size_t max_base64_line = 64;

int base64_value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

bool KeyFileText::open(const char* file) {
  std::FILE* f = std::fopen(file, "rb");
  if (!f) return false;
  unsigned char chunk[4096];
  while (text_.size() < max_file_size) {
    size_t got = std::fread(chunk, 1, sizeof chunk, f);
    if (got == 0) break;
    text_.append(chunk, got);
  }
  secure_clear(chunk, sizeof chunk);
  std::fclose(f);
  if (text_.size() > max_file_size) text_.resize(max_file_size);
  return true;
}

bool KeyFileText::read_header(std::string_view* name) {
  const char* text = reinterpret_cast<const char*>(text_.data());
  size_t start = position_;
  size_t end = start;
  while (end < text_.size() && text[end] != ':') {
    if (end - start >= max_header_name) return false;
    ++end;
  }
  if (end + 1 >= text_.size() || text[end + 1] != ' ') return false;
  *name = std::string_view(text + start, end - start);
  position_ = end + 2;
  return true;
}

bool KeyFileText::expect_header(std::string_view expected) {
  std::string_view name;
  return read_header(&name) && name == expected;
}

std::string_view KeyFileText::read_value() {
  const char* text = reinterpret_cast<const char*>(text_.data());
  size_t start = position_;
  size_t end = start;
  while (end < text_.size() && text[end] != '\r' && text[end] != '\n') ++end;
  position_ = end;
  if (position_ < text_.size()) {
    char first = text[position_++];
    char pair = first == '\r' ? '\n' : '\r';
    if (position_ < text_.size() && text[position_] == pair) ++position_;
  }
  return std::string_view(text + start, end - start);
}

bool KeyFileText::read_count(int limit, int* count) {
  std::string_view value = read_value();
  if (value.empty()) return false;
  long long n = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
    if (n > limit) return false;
  }
  *count = static_cast<int>(n);
  return true;
}

bool KeyFileText::read_base64_lines(int count, WipedBytes& out) {
  for (int i = 0; i < count; ++i) {
    if (position_ >= text_.size()) return false;
    std::string_view line = read_value();
    if (line.size() % 4 != 0 || line.size() > max_base64_line) return false;
    if (!key_file_base64_decode(line, out)) return false;
  }
  return true;
}

bool key_file_base64_decode(std::string_view line, WipedBytes& out) {
  for (size_t i = 0; i + 4 <= line.size(); i += 4) {
    int v[4];
    int padding = 0;
    for (int k = 0; k < 4; ++k) {
      char c = line[i + k];
      if (c == '=' && k >= 2) {
        v[k] = 0;
        ++padding;
      } else if (padding > 0 || (v[k] = base64_value(c)) < 0) {
        return false;  // a character after padding, or not of the alphabet
      }
    }
    if (padding > 0 && i + 4 != line.size()) return false;
    unsigned char bytes[3] = {static_cast<unsigned char>(v[0] << 2 | v[1] >> 4),
                              static_cast<unsigned char>(v[1] << 4 | v[2] >> 2),
                              static_cast<unsigned char>(v[2] << 6 | v[3])};
    out.append(bytes, 3 - padding);
    secure_clear(bytes, sizeof bytes);
  }
  return true;
}
