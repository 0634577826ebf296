#pragma once
// Conversions between Net-SNMP variables and the texts that are stored, shown and set back.
// Octet strings read as text (space-separated hex pairs when not printable), identifiers and
// addresses dotted, every number decimal; line breaks are removed so a value stays on one line.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace mirvale {

namespace snmp_text {

std::string PrintableValue(const netsnmp_variable_list& variable);

std::string DottedOid(const oid* arcs, size_t count);

// Strict dotted-decimal identifier ("1.3.6.1", an optional leading dot); nullopt when invalid.
std::optional<std::vector<oid>> ParseOid(std::string_view text);

// A value of the given ASN.1 type made from text, as bytes ready for snmp_pdu_add_variable.
// nullopt when the text is not a valid value of that type (out of range included) or the type
// cannot be set.
struct EncodedValue {
  u_char type = 0;
  std::vector<u_char> bytes;
};
std::optional<EncodedValue> EncodeValue(u_char type, const std::string& text);

// Octets from hexadecimal text; blanks and an optional "0x" are ignored. nullopt when invalid.
std::optional<std::vector<u_char>> ParseHex(std::string_view text);

}  // namespace snmp_text

}  // namespace mirvale
