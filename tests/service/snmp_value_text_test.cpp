#include "service/scanning/snmp_value_text.h"

#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "service/scanning/snmp_walk_rule.h"

namespace mirvale {
namespace {

// One variable of the given type and raw value, freed at scope end.
class Variable {
 public:
  Variable(u_char type, const void* value, size_t length) {
    static const oid name[] = {1, 3, 6, 1};
    snmp_varlist_add_variable(&list_, name, 4, type, value, length);
  }
  ~Variable() { snmp_free_varbind(list_); }
  const netsnmp_variable_list& operator*() const { return *list_; }

 private:
  netsnmp_variable_list* list_ = nullptr;
};

std::string Printed(u_char type, const void* value, size_t length) { return snmp_text::PrintableValue(*Variable(type, value, length)); }

TEST(SnmpValueText, NumbersPrintInDecimalWithAllTheirBits) {
  long negative = -42;
  EXPECT_EQ(Printed(ASN_INTEGER, &negative, sizeof(negative)), "-42");
  u_long ticks = 4294967295u;
  EXPECT_EQ(Printed(ASN_TIMETICKS, &ticks, sizeof(ticks)), "4294967295");
  EXPECT_EQ(Printed(ASN_COUNTER, &ticks, sizeof(ticks)), "4294967295");
  counter64 big{};
  big.high = 0xffffffffu;
  big.low = 0xfffffffeu;
  EXPECT_EQ(Printed(ASN_COUNTER64, &big, sizeof(big)), "18446744073709551614");
}

TEST(SnmpValueText, IdentifiersAndAddressesAreDotted) {
  oid arcs[] = {1, 3, 6, 1, 4, 1, 4294967295u};
  EXPECT_EQ(Printed(ASN_OBJECT_ID, arcs, sizeof(arcs)), "1.3.6.1.4.1.4294967295");
  u_char address[] = {10, 0, 200, 255};
  EXPECT_EQ(Printed(ASN_IPADDRESS, address, sizeof(address)), "10.0.200.255");
}

TEST(SnmpValueText, TextLosesLineBreaksAndBinaryBecomesHex) {
  std::string text = "Cisco IOS\r\nVersion 12\n";
  EXPECT_EQ(Printed(ASN_OCTET_STR, text.data(), text.size()), "Cisco IOSVersion 12");
  u_char mac[] = {0x00, 0x1a, 0x2b, 0xff};
  EXPECT_EQ(Printed(ASN_OCTET_STR, mac, sizeof(mac)), "00 1A 2B FF");
  EXPECT_EQ(Printed(ASN_OCTET_STR, "", 0), "");
}

TEST(SnmpValueText, ParseOidAcceptsOnlyDottedNumbers) {
  EXPECT_EQ(snmp_text::ParseOid("1.3.6.1"), (std::vector<oid>{1, 3, 6, 1}));
  EXPECT_EQ(snmp_text::ParseOid(".1.3"), (std::vector<oid>{1, 3}));
  for (const char* bad : {"", ".", "1..3", "1.3.", "1.a", "sysName.0", "1.4294967296", "-1"})
    EXPECT_FALSE(snmp_text::ParseOid(bad)) << bad;
  std::string tooLong = "1";
  for (int i = 0; i < MAX_OID_LEN; ++i) tooLong += ".1";
  EXPECT_FALSE(snmp_text::ParseOid(tooLong));
}

TEST(SnmpValueText, EncodeFollowsTheReportedType) {
  auto integer = snmp_text::EncodeValue(ASN_INTEGER, "5");
  ASSERT_TRUE(integer);
  long number = 0;
  std::memcpy(&number, integer->bytes.data(), sizeof(number));
  EXPECT_EQ(number, 5);
  auto text = snmp_text::EncodeValue(ASN_OCTET_STR, "5");
  ASSERT_TRUE(text);
  EXPECT_EQ(text->bytes, std::vector<u_char>{'5'});
  auto address = snmp_text::EncodeValue(ASN_IPADDRESS, "192.168.1.2");
  ASSERT_TRUE(address);
  EXPECT_EQ(address->bytes, (std::vector<u_char>{192, 168, 1, 2}));
  auto big = snmp_text::EncodeValue(ASN_COUNTER64, "18446744073709551615");
  ASSERT_TRUE(big);
  counter64 value{};
  std::memcpy(&value, big->bytes.data(), sizeof(value));
  EXPECT_EQ(value.high, 0xffffffffu);
  EXPECT_EQ(value.low, 0xffffffffu);
}

TEST(SnmpValueText, EncodeRefusesWhatDoesNotFit) {
  EXPECT_FALSE(snmp_text::EncodeValue(ASN_INTEGER, "2147483648"));
  EXPECT_TRUE(snmp_text::EncodeValue(ASN_INTEGER, "-2147483648"));
  EXPECT_FALSE(snmp_text::EncodeValue(ASN_COUNTER, "4294967296"));
  EXPECT_FALSE(snmp_text::EncodeValue(ASN_GAUGE, "-1"));
  EXPECT_FALSE(snmp_text::EncodeValue(ASN_TIMETICKS, "12 "));
  EXPECT_FALSE(snmp_text::EncodeValue(ASN_COUNTER64, "18446744073709551616"));
  EXPECT_FALSE(snmp_text::EncodeValue(ASN_INTEGER, ""));
  EXPECT_FALSE(snmp_text::EncodeValue(ASN_IPADDRESS, "10.0.0"));
  EXPECT_FALSE(snmp_text::EncodeValue(ASN_OBJECT_ID, "1.3.x"));
  EXPECT_FALSE(snmp_text::EncodeValue(ASN_OPAQUE, "00"));
}

TEST(SnmpValueText, ParseHexReadsEngineIdentifiers) {
  EXPECT_EQ(snmp_text::ParseHex("0x80001F8880"), (std::vector<u_char>{0x80, 0x00, 0x1f, 0x88, 0x80}));
  EXPECT_EQ(snmp_text::ParseHex("80 00 1f"), (std::vector<u_char>{0x80, 0x00, 0x1f}));
  EXPECT_FALSE(snmp_text::ParseHex("800"));
  EXPECT_FALSE(snmp_text::ParseHex("zz"));
}

TEST(SnmpWalkRule, AnswerMustStayUnderThePrefixAndGrow) {
  std::vector<oid> column = {1, 3, 6, 1, 2, 1, 2, 2, 1, 1};
  std::vector<oid> first = {1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 1};
  std::vector<oid> nextColumn = {1, 3, 6, 1, 2, 1, 2, 2, 1, 2, 1};
  EXPECT_TRUE(IsWalkStepWithin(column, first, 10));
  EXPECT_FALSE(IsWalkStepWithin(first, nextColumn, 10));
  EXPECT_FALSE(IsWalkStepWithin(first, first, 10));
  EXPECT_FALSE(IsWalkStepWithin(column, column, 10));
  std::vector<oid> lower = {1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 0};
  std::vector<oid> higher = {1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 5};
  EXPECT_FALSE(IsWalkStepWithin(higher, lower, 10));
  // A prefix longer than the request means "under the request itself".
  EXPECT_TRUE(IsWalkStepWithin(column, first, 20));
  EXPECT_FALSE(IsWalkStepWithin(column, std::vector<oid>{1, 3, 6, 1, 2, 1, 2, 2, 1, 2}, 20));
  // Collect-all walks from "1" with a prefix of one arc.
  EXPECT_TRUE(IsWalkStepWithin(std::vector<oid>{1}, first, 1));
  EXPECT_FALSE(IsWalkStepWithin(first, std::vector<oid>{2, 1}, 1));
}

}  // namespace
}  // namespace mirvale
