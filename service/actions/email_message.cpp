#include "service/actions/email_message.h"

#include <algorithm>

#include "common/text_trim.h"
#include "service/actions/email_base64.h"

namespace mirvale {

namespace {

std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

// Encoded words of at most 75 characters: "=?UTF-8?B?" and "?=" take 12, leaving 63 for the
// base64 text, which carries 45 bytes (whole characters only, so a word never splits one);
// "=?windows-1252?B?" and "?=" take 19, leaving room for 42 bytes.
constexpr size_t kEncodedWordBytes = 45;
constexpr size_t kEncodedCodePageWordBytes = 42;

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Texts the desktop program stores are UTF-8; settings of older programs hold single bytes of
// the Windows code page, which a mail reader must not take for UTF-8.
bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80           ? 1
                          : (lead >> 5) == 0x6  ? 2
                          : (lead >> 4) == 0xE  ? 3
                          : (lead >> 3) == 0x1E ? 4
                                                : 0;
    if (length == 0 || lead == 0xC0 || lead == 0xC1 || lead > 0xF4 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k)
      if (!IsUtf8Continuation(text[i + k])) return false;
    i += length;
  }
  return true;
}

}  // namespace

std::string EncodeHeaderText(std::string_view text) {
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x80 && (byte >= 0x20 || byte == '\t');
  });
  if (plain) return std::string(text);
  const bool utf8 = IsUtf8(text);
  const std::string start = utf8 ? "=?UTF-8?B?" : "=?windows-1252?B?";
  std::string encoded;
  while (!text.empty()) {
    size_t take = std::min(text.size(), utf8 ? kEncodedWordBytes : kEncodedCodePageWordBytes);
    while (utf8 && take < text.size() && take > 1 && IsUtf8Continuation(text[take])) --take;
    if (!encoded.empty()) encoded += "\r\n ";
    encoded += start + Base64Encode(text.substr(0, take)) + "?=";
    text.remove_prefix(take);
  }
  return encoded;
}

std::vector<std::string> SplitRecipients(std::string_view recipients) {
  std::vector<std::string> parts;
  while (!recipients.empty()) {
    size_t separator = recipients.find(';');
    std::string_view part = recipients.substr(0, separator);
    recipients = separator == std::string_view::npos ? std::string_view() : recipients.substr(separator + 1);
    std::string trimmed = Trim(part);
    if (!trimmed.empty()) parts.push_back(std::move(trimmed));
  }
  return parts;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

std::string NormaliseLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\r\n";
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string DotStuff(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  bool lineStart = true;
  for (char c : text) {
    if (lineStart && c == '.') out += '.';
    out += c;
    lineStart = c == '\n';
  }
  return out;
}

std::string BuildMessageData(std::string_view sender, std::string_view recipient, std::string_view subject,
                             std::string_view body) {
  std::string message = "from:<" + OneLine(sender) + ">\r\n";
  message += "to:<" + OneLine(recipient) + ">\r\n";
  message += "subject: " + EncodeHeaderText(OneLine(subject)) + "\r\n";
  message += "\r\n";
  message += body;
  message += "\r\n";
  return DotStuff(NormaliseLineEnds(message)) + ".\r\n";
}

}  // namespace mirvale
