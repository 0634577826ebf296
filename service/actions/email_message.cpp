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
// base64 text, which carries 45 bytes (whole characters only, so a word never splits one).
constexpr size_t kEncodedWordBytes = 45;

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string EncodeHeaderText(std::string_view text) {
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x80 && (byte >= 0x20 || byte == '\t');
  });
  if (plain) return std::string(text);
  std::string encoded;
  while (!text.empty()) {
    size_t take = std::min(text.size(), kEncodedWordBytes);
    while (take < text.size() && take > 1 && IsUtf8Continuation(text[take])) --take;
    if (!encoded.empty()) encoded += "\r\n ";
    encoded += "=?UTF-8?B?" + Base64Encode(text.substr(0, take)) + "?=";
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
