// Byte layout of the archive format: numbers, texts, counts and object tags.
#include <gtest/gtest.h>

#include "common/archive_error.h"
#include "common/database_files.h"
#include "common/records.h"
#include "tests/common/archive_test_support.h"

using archive_test::Hex;
using archive_test::Unhex;
using namespace mirvale;

namespace {

DeviceDatabaseMap OneDevice() {
  DeviceDatabaseMap map;
  CDbItem& device = map.FindOrAdd("p1/10.0.0.1");
  device.m_strPool = "p1";
  device.m_strAddress = "10.0.0.1";
  return map;
}

std::string TextBytes(size_t length) {
  ArchiveWriter writer;
  writer.WriteText(std::string(length, 'x'));
  return writer.TakeBytes();
}

std::string CountBytes(size_t count) {
  ArchiveWriter writer;
  writer.WriteCount(count);
  return writer.TakeBytes();
}

}  // namespace

TEST(ArchiveFormat, WorkedExampleEncodesAndDecodes) {
  const std::string expected =
      "01000b70312f31302e302e302e31ffff010007004344624974656d0270310831302e302e302e310000000000ffff"
      "00000e00434d6170537472696e67546f4f620000";
  std::string bytes = EncodeDeviceDatabase(OneDevice());
  EXPECT_EQ(bytes.size(), 66u);
  EXPECT_EQ(Hex(bytes), expected);
  EXPECT_EQ(DecodeDeviceDatabase(Unhex(expected)), OneDevice());
}

TEST(ArchiveFormat, SecondDeviceUsesKnownClassTags) {
  DeviceDatabaseMap map = OneDevice();
  CDbItem& second = map.FindOrAdd("p1/10.0.0.2");
  second.m_strPool = "p1";
  second.m_strAddress = "10.0.0.2";
  std::string bytes = EncodeDeviceDatabase(map);
  std::string firstPart = EncodeDeviceDatabase(OneDevice()).substr(2);
  std::string secondEntry = bytes.substr(2 + firstPart.size());
  EXPECT_EQ(Hex(secondEntry), "0b70312f31302e302e302e32" "0180" "02703108" + Hex("10.0.0.2") +
                                  "0000000000" "0380" "0000");
  EXPECT_EQ(DecodeDeviceDatabase(bytes), map);
}

TEST(ArchiveFormat, TextPrefixesGrowWithLength) {
  EXPECT_EQ(Hex(TextBytes(0)), "00");
  EXPECT_EQ(Hex(TextBytes(254).substr(0, 1)), "fe");
  EXPECT_EQ(TextBytes(254).size(), 255u);
  EXPECT_EQ(Hex(TextBytes(255).substr(0, 3)), "ffff00");
  EXPECT_EQ(Hex(TextBytes(65533).substr(0, 3)), "fffdff");
  EXPECT_EQ(Hex(TextBytes(65534).substr(0, 7)), "fffffffeff0000");
  EXPECT_EQ(TextBytes(65534).size(), 65534u + 7);
  for (size_t length : {0, 1, 254, 255, 256, 65533, 65534, 65535, 70000}) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text += static_cast<char>(i * 7);
    ArchiveWriter writer;
    writer.WriteText(text);
    ArchiveReader reader(writer.Bytes());
    EXPECT_EQ(reader.ReadText(), text) << length;
    EXPECT_EQ(reader.Remaining(), 0u);
  }
}

TEST(ArchiveFormat, CountsAndNumbers) {
  EXPECT_EQ(Hex(CountBytes(0)), "0000");
  EXPECT_EQ(Hex(CountBytes(65534)), "feff");
  EXPECT_EQ(Hex(CountBytes(65535)), "ffffffff0000");
  EXPECT_EQ(Hex(CountBytes(70000)), "ffff70110100");
  ArchiveWriter writer;
  writer.WriteByte(0xAB);
  writer.WriteWord(0x1234);
  writer.WriteDword(0xDEADBEEF);
  EXPECT_EQ(Hex(writer.Bytes()), "ab3412efbeadde");
  ArchiveReader reader(writer.Bytes());
  EXPECT_EQ(reader.ReadByte(), 0xAB);
  EXPECT_EQ(reader.ReadWord(), 0x1234);
  EXPECT_EQ(reader.ReadDword(), 0xDEADBEEFu);
  std::string countBytes = Unhex("feff" "ffffffff0000");
  ArchiveReader counts(countBytes);
  EXPECT_EQ(counts.ReadCount(), 65534u);
  EXPECT_EQ(counts.ReadCount(), 65535u);
}

TEST(ArchiveFormat, MapOf65535EntriesRoundTrips) {
  RecordMap<CDeviceItem> map;
  for (int i = 0; i < 65535; ++i) map.FindOrAdd(std::to_string(i)).m_strMask = "255.255.255.255";
  ArchiveWriter writer;
  writer.WriteMap(map);
  EXPECT_EQ(Hex(writer.Bytes().substr(0, 6)), "ffffffff0000");
  ArchiveReader reader(writer.Bytes());
  RecordMap<CDeviceItem> back;
  reader.ReadMap(back);
  EXPECT_EQ(back, map);
}

// 16381 devices without values take indexes up to 32766; the 16382nd device's first value
// gives CDbQuery the index 0x7FFF, so its second value needs the long tag.
TEST(ArchiveFormat, LongTagsPastIndex32766) {
  DeviceDatabaseMap map;
  auto key = [](int n) {
    char buffer[16];
    snprintf(buffer, sizeof buffer, "p/%05d", n);
    return std::string(buffer);
  };
  for (int n = 1; n <= 16382; ++n) map.FindOrAdd(key(n)).m_strAddress = std::to_string(n);
  CDbItem& last = *map.Find(key(16382));
  last.m_pQueries.FindOrAdd("1").m_strValue = "first";
  last.m_pQueries.FindOrAdd("2").m_strValue = "second";
  map.FindOrAdd(key(16383)).m_pQueries.FindOrAdd("1").m_strValue = "later";

  std::string bytes = EncodeDeviceDatabase(map);
  // Second value of device 16382: key "2", then the long class tag.
  std::string secondValue = Unhex("0132") + Unhex("ff7fff7f0080");
  EXPECT_NE(bytes.find(secondValue), std::string::npos);
  // Device 16383 still uses the short class tag of CDbItem and CMapStringToOb.
  std::string device16383 = Unhex("07") + key(16383) + Unhex("0180");
  EXPECT_NE(bytes.find(device16383), std::string::npos);
  EXPECT_EQ(DecodeDeviceDatabase(bytes), map);
}

// The buffer is sized once from the bound: it must cover every tag and prefix form, without
// asking for much more than the file takes.
TEST(ArchiveFormat, SizeBoundCoversTheEncodingClosely) {
  DeviceDatabaseMap map;
  for (int n = 1; n <= 20000; ++n) map.FindOrAdd("p/" + std::to_string(n)).m_strAddress = std::to_string(n);
  for (size_t length : {0xFEu, 0xFFFDu, 0xFFFEu, 70000u})
    map.Find("p/1")->m_pQueries.FindOrAdd(std::to_string(length)).m_strValue = std::string(length, 'v');
  map.Find("p/20000")->m_pQueries.FindOrAdd("1").m_strValue = "past the short tags";
  ArchiveSizeBound bound;
  bound.Map(map);
  const size_t bytes = EncodeDeviceDatabase(map).size();
  EXPECT_LE(bytes, bound.Bytes());
  EXPECT_LT(bound.Bytes(), bytes + bytes / 2) << "even for records this small";
}

TEST(ArchiveFormat, ReaderAcceptsNonCanonicalForms) {
  // Long-form class tag where a short one would do, and a short text in a long prefix.
  std::string bytes = Unhex("0200") + Unhex("0161") + Unhex("ffff01000b00") + "CDeviceItem" +
                      Unhex("ff0100") + "x" + Unhex("00") + Unhex("0162") + Unhex("ff7f01000080") +
                      Unhex("ffffff01000000") + "y" + Unhex("00");
  ArchiveReader reader(bytes);
  RecordMap<CDeviceItem> map;
  reader.ReadMap(map);
  ASSERT_EQ(map.size(), 2u);
  EXPECT_EQ(map.Find("a")->m_strAddress, "x");
  EXPECT_EQ(map.Find("b")->m_strAddress, "y");
}

TEST(ArchiveFormat, ReadsWideTexts) {
  // "A", e acute, the euro sign, a CJK character, an unassigned C1 control.
  std::string wide = Unhex("fffeff05") + Unhex("4100e900ac2031428100");
  ArchiveReader reader(wide);
  EXPECT_EQ(reader.ReadText(), "A\xE9\x80??");
  std::string nestedBytes = Unhex("fffefffeff0100");
  ArchiveReader nested(nestedBytes);
  EXPECT_THROW(nested.ReadText(), ArchiveError);
}

TEST(ArchiveFormat, DuplicateKeyKeepsLaterRecordAndTrailingBytesAreIgnored) {
  std::string bytes = Unhex("0200") + Unhex("0161") + Unhex("ffff01000b00") + "CDeviceItem" +
                      Unhex("013100") + Unhex("0161") + Unhex("0180") + Unhex("013200") +
                      "trailing garbage";
  ArchiveReader reader(bytes);
  RecordMap<CDeviceItem> map;
  reader.ReadMap(map);
  ASSERT_EQ(map.size(), 1u);
  EXPECT_EQ(map.Find("a")->m_strAddress, "2");
}

TEST(ArchiveFormat, RefusesMalformedObjectReferences) {
  const std::string classRecord = Unhex("ffff01000b00") + "CDeviceItem";
  const std::string entry = Unhex("0161");
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"null value", Unhex("0100") + entry + Unhex("0000")},
      {"reference to an object already read",
       Unhex("0200") + entry + classRecord + Unhex("0000") + Unhex("0162") + Unhex("0200")},
      {"long reference to an object", Unhex("0100") + entry + Unhex("ff7f02000000")},
      {"unknown class", Unhex("0100") + entry + Unhex("ffff01000600") + "CThing" + Unhex("0000")},
      {"wrong schema", Unhex("0100") + entry + Unhex("ffff02000b00") + "CDeviceItem" + Unhex("0000")},
      {"class name of 64 bytes",
       Unhex("0100") + entry + Unhex("ffff01004000") + std::string(64, 'C') + Unhex("0000")},
      {"class index never read", Unhex("0100") + entry + Unhex("0180")},
      {"class index zero", Unhex("0100") + entry + Unhex("0080")},
      {"class index of an object",
       Unhex("0200") + entry + classRecord + Unhex("0000") + Unhex("0162") + Unhex("0280")},
      {"unexpected class", Unhex("0100") + entry + Unhex("ffff01000800") + "CDbQuery" + std::string(7, '\0')},
      {"text beyond the end", Unhex("0100") + entry + classRecord + Unhex("05") + "ab"},
      {"count beyond the end", Unhex("ffffffffff7f")},
      {"long text length beyond the end", Unhex("0100") + Unhex("ffffffffffffff")},
  };
  for (const Case& c : cases) {
    ArchiveReader reader(c.bytes);
    RecordMap<CDeviceItem> map;
    EXPECT_THROW(reader.ReadMap(map), ArchiveError) << c.what;
    EXPECT_TRUE(map.empty()) << c.what;
  }
}

TEST(ArchiveFormat, FailedMapReadLeavesTargetUntouched) {
  RecordMap<CDeviceItem> map;
  map.FindOrAdd("kept").m_strMask = "255.0.0.0";
  RecordMap<CDeviceItem> before = map;
  std::string bytes = Unhex("0200") + Unhex("0161") + Unhex("ffff01000b00") + "CDeviceItem" + Unhex("0000");
  ArchiveReader reader(bytes);
  EXPECT_THROW(reader.ReadMap(map), ArchiveError);
  EXPECT_EQ(map, before);
}
