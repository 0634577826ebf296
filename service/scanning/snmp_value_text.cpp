#include "service/scanning/snmp_value_text.h"

#include <charconv>
#include <cstring>
#include <limits>

#include <arpa/inet.h>

namespace mirvale {

namespace snmp_text {
namespace {

bool IsPrintableText(const u_char* bytes, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    u_char c = bytes[i];
    bool printable = (c >= 0x20 && c < 0x7f) || c == '\t' || c == '\r' || c == '\n';
    if (!printable) return false;
  }
  return true;
}

std::string HexPairs(const u_char* bytes, size_t length) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(length * 3);
  for (size_t i = 0; i < length; ++i) {
    if (i) text += ' ';
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 0x0f];
  }
  return text;
}

std::string WithoutLineBreaks(std::string text) {
  std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
  return text;
}

template <typename Number>
std::optional<Number> ParseDecimal(std::string_view text) {
  Number value{};
  if (text.empty()) return std::nullopt;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

template <typename Value>
std::vector<u_char> BytesOf(const Value& value) {
  std::vector<u_char> bytes(sizeof(Value));
  std::memcpy(bytes.data(), &value, sizeof(Value));
  return bytes;
}

}  // namespace

std::string DottedOid(const oid* arcs, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    if (i) text += '.';
    text += std::to_string(arcs[i]);
  }
  return text;
}

std::optional<std::vector<oid>> ParseOid(std::string_view text) {
  if (!text.empty() && text.front() == '.') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::vector<oid> arcs;
  size_t start = 0;
  while (start <= text.size()) {
    size_t dot = text.find('.', start);
    if (dot == std::string_view::npos) dot = text.size();
    auto arc = ParseDecimal<uint32_t>(text.substr(start, dot - start));
    if (!arc || arcs.size() >= MAX_OID_LEN) return std::nullopt;
    arcs.push_back(*arc);
    start = dot + 1;
  }
  return arcs;
}

std::optional<std::vector<u_char>> ParseHex(std::string_view text) {
  std::string digits;
  for (char c : text)
    if (c != ' ' && c != '\t' && c != ':') digits += c;
  if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.erase(0, 2);
  if (digits.size() % 2) return std::nullopt;
  std::vector<u_char> bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    unsigned value = 0;
    auto [end, error] = std::from_chars(digits.data() + i, digits.data() + i + 2, value, 16);
    if (error != std::errc() || end != digits.data() + i + 2) return std::nullopt;
    bytes.push_back(static_cast<u_char>(value));
  }
  return bytes;
}

std::string PrintableValue(const netsnmp_variable_list& variable) {
  const auto& value = variable.val;
  switch (variable.type) {
    case ASN_INTEGER:
      return value.integer ? std::to_string(*value.integer) : std::string();
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
    case ASN_UINTEGER:
      return value.integer ? std::to_string(static_cast<uint32_t>(*value.integer)) : std::string();
    case ASN_COUNTER64:
      if (!value.counter64) return {};
      return std::to_string((static_cast<uint64_t>(value.counter64->high & 0xffffffffu) << 32) |
                            (value.counter64->low & 0xffffffffu));
    case ASN_OBJECT_ID:
      return DottedOid(value.objid, variable.val_len / sizeof(oid));
    case ASN_IPADDRESS:
      if (variable.val_len != 4 || !value.string) return HexPairs(value.string, variable.val_len);
      return std::to_string(value.string[0]) + "." + std::to_string(value.string[1]) + "." +
             std::to_string(value.string[2]) + "." + std::to_string(value.string[3]);
    case ASN_OCTET_STR:
      if (IsPrintableText(value.string, variable.val_len))
        return WithoutLineBreaks(std::string(reinterpret_cast<const char*>(value.string), variable.val_len));
      return HexPairs(value.string, variable.val_len);
    case ASN_NULL:
      return {};
    default:
      return HexPairs(value.string, value.string ? variable.val_len : 0);
  }
}

std::optional<EncodedValue> EncodeValue(u_char type, const std::string& text) {
  switch (type) {
    case ASN_INTEGER: {
      auto number = ParseDecimal<int32_t>(text);
      if (!number) return std::nullopt;
      return EncodedValue{type, BytesOf(static_cast<long>(*number))};
    }
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
    case ASN_UINTEGER: {
      auto number = ParseDecimal<uint32_t>(text);
      if (!number) return std::nullopt;
      return EncodedValue{type, BytesOf(static_cast<u_long>(*number))};
    }
    case ASN_COUNTER64: {
      auto number = ParseDecimal<uint64_t>(text);
      if (!number) return std::nullopt;
      counter64 value{};
      value.high = static_cast<u_long>(*number >> 32);
      value.low = static_cast<u_long>(*number & 0xffffffffu);
      return EncodedValue{type, BytesOf(value)};
    }
    case ASN_OCTET_STR:
      return EncodedValue{type, std::vector<u_char>(text.begin(), text.end())};
    case ASN_OBJECT_ID: {
      auto arcs = ParseOid(text);
      if (!arcs) return std::nullopt;
      std::vector<u_char> bytes(arcs->size() * sizeof(oid));
      std::memcpy(bytes.data(), arcs->data(), bytes.size());
      return EncodedValue{type, std::move(bytes)};
    }
    case ASN_IPADDRESS: {
      in_addr address{};
      if (inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
      std::vector<u_char> bytes(4);
      std::memcpy(bytes.data(), &address, 4);
      return EncodedValue{type, std::move(bytes)};
    }
    default:
      return std::nullopt;
  }
}

}  // namespace snmp_text

}  // namespace mirvale
