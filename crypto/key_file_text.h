#pragma once
// Reading the SSH-2 text key format: header lines ("Name: value", each line ended by CR, LF,
// CR LF or LF CR) and runs of base64 lines. The whole file is held in a wiped buffer, since an
// unencrypted file holds the private key; values are views into it.
#include <string_view>

#include "crypto/key_file_wiped_bytes.h"

class KeyFileText {
 public:
  // Larger files are no key files; reading stops there so that no file can exhaust memory.
  static constexpr size_t max_file_size = 1 << 20;

  // False when the file cannot be opened.
  bool open(const char* file);

  // Reads "Name: " at the current position: a name of at most 39 characters, a colon and a
  // blank. False when there is none.
  bool read_header(std::string_view* name);
  // The header must be the expected one.
  bool expect_header(std::string_view expected);
  // The rest of the line, and the line end.
  std::string_view read_value();
  // A decimal count at most `limit`.
  bool read_count(int limit, int* count);
  // `count` base64 lines (each a multiple of 4 and at most 64 characters), decoded.
  bool read_base64_lines(int count, WipedBytes& out);

  size_t bytes_left() const { return text_.size() - position_; }

 private:
  WipedBytes text_;
  size_t position_ = 0;
};

// Decodes one line of base64 (RFC 4648, standard alphabet, padded groups of four).
bool key_file_base64_decode(std::string_view line, WipedBytes& out);
