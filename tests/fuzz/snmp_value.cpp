// The texts the service stores for what a device answers, and the values it makes from texts
// for set and restore requests. The first byte picks the ASN.1 type; the rest is the value as
// it came off the wire, then the same bytes as a text to encode, parse as an identifier and as
// hexadecimal, and as an answer's identifier for the instance name.
#include <vector>

#include "service/scanning/device_scan_texts.h"
#include "service/scanning/snmp_value_text.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size < 1) return 0;
  using namespace mirvale;
  static const u_char kTypes[] = {
      ASN_INTEGER,       ASN_OCTET_STR,       ASN_OBJECT_ID,     ASN_IPADDRESS,    ASN_COUNTER,      ASN_GAUGE,
      ASN_TIMETICKS,     ASN_OPAQUE,          ASN_COUNTER64,     ASN_NULL,         ASN_BIT_STR,      ASN_UINTEGER,
      SNMP_NOSUCHOBJECT, SNMP_NOSUCHINSTANCE, SNMP_ENDOFMIBVIEW, ASN_OPAQUE_FLOAT, ASN_OPAQUE_DOUBLE};
  const u_char type = kTypes[data[0] % sizeof kTypes];
  const unsigned char* value = data + 1;
  const size_t length = size - 1;

  // Net-SNMP keeps numbers in their C types and identifiers as whole arcs: that is what it
  // hands the service, whatever the wire held.
  std::vector<unsigned char> held(value, value + length);
  switch (type) {
    case ASN_INTEGER:
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
    case ASN_UINTEGER: held.resize(sizeof(long)); break;
    case ASN_COUNTER64: held.resize(sizeof(counter64)); break;
    case ASN_OPAQUE_FLOAT: held.resize(sizeof(float)); break;
    case ASN_OPAQUE_DOUBLE: held.resize(sizeof(double)); break;
    case ASN_IPADDRESS: held.resize(4); break;
    case ASN_OBJECT_ID: held.resize(length - length % sizeof(oid)); break;
    default: break;
  }
  netsnmp_variable_list* list = nullptr;
  static const oid kName[] = {1, 3, 6, 1, 2, 1, 1, 1, 0};
  if (snmp_varlist_add_variable(&list, kName, 9, type, held.empty() ? nullptr : held.data(), held.size()) != nullptr) {
    const std::string printed = snmp_text::PrintableValue(*list);
    if (printed.find_first_of("\r\n") != std::string::npos) __builtin_trap();
  }
  snmp_free_varbind(list);

  const std::string text(reinterpret_cast<const char*>(value), length);
  snmp_text::EncodeValue(type, text);
  snmp_text::ParseOid(text);
  snmp_text::ParseHex(text);
  OidArcCount(text);
  QueryInstanceName("1.3.6.1.2.1.2.2.1.2", "ifDescr", text);
  return 0;
}
