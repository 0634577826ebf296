#pragma once
// Canonical text form of the three stored files (see mirvale_filetool.cpp for the format).
#include <stdexcept>
#include <string>
#include <string_view>

namespace filetool {

enum class FileKind { Settings, DeviceDatabase, ScanDatabase };

class TextFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Stored bytes to text; throws mirvale::ArchiveError when the bytes are not such a file.
std::string DecodeToText(FileKind kind, std::string_view bytes);

// Text to stored bytes; throws TextFormatError with the line number on a mistake.
std::string EncodeFromText(FileKind kind, std::string_view text);

std::string QuoteBytes(std::string_view bytes);

}  // namespace filetool
