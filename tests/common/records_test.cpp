// Field orders of the nine records, deep copies and round trips of whole files.
#include <gtest/gtest.h>

#include "common/database_files.h"
#include "common/records.h"
#include "common/settings_file.h"
#include "tests/common/archive_test_support.h"
#include "tests/common/record_samples.h"

using archive_test::Hex;
using archive_test::Unhex;
using namespace mirvale;
using namespace record_samples;

namespace {

template <typename Record>
std::string Encode(const Record& record) {
  ArchiveWriter writer;
  writer.WriteObject(record);
  return writer.TakeBytes();
}

template <typename Record>
Record Decode(const std::string& bytes) {
  ArchiveReader reader(bytes);
  auto record = reader.ReadObject<Record>();
  EXPECT_EQ(reader.Remaining(), 0u);
  return *record;
}

std::string ClassRecord(const std::string& name) {
  ArchiveWriter writer;
  writer.WriteWord(0xFFFF);
  writer.WriteWord(1);
  writer.WriteWord(static_cast<uint16_t>(name.size()));
  return writer.TakeBytes() + name;
}

}  // namespace

TEST(RecordFields, StoredInTheirBindingOrder) {
  EXPECT_EQ(Encode(CAutoScanItem{1, "p", 23, 7}),
            ClassRecord("CAutoScanItem") + Unhex("01000000" "0170" "17000000" "07000000"));
  EXPECT_EQ(Encode(CDeviceItem{"10.0.0.0", "255.0.0.0"}),
            ClassRecord("CDeviceItem") + "\x08" "10.0.0.0" "\x09" "255.0.0.0");
  EXPECT_EQ(Encode(CQueryItem{"1.3", "n", "d"}), ClassRecord("CQueryItem") + "\x03" "1.3\x01n\x01" "d");
  EXPECT_EQ(Encode(CScanDbItem{"a", "b", "c", "d"}), ClassRecord("CScanDbItem") + "\x01" "a\x01" "b\x01" "c\x01" "d");
  EXPECT_EQ(Encode(CDbQuery{"1", "2", "3", "4", "5", "6", "7"}),
            ClassRecord("CDbQuery") + "\x01" "1\x01" "2\x01" "3\x01" "4\x01" "5\x01" "6\x01" "7");
  EXPECT_EQ(Encode(CRestoreItem{"1", "2", "3", "4", "5", "6", "7", "8"}),
            ClassRecord("CRestoreItem") + "\x01" "1\x01" "2\x01" "3\x01" "4\x01" "5\x01" "6\x01" "7\x01" "8");
  EXPECT_EQ(Encode(CActionItem{5, "p", "a", "m", "q", "v", 6, "r", "e", "t"}),
            ClassRecord("CActionItem") + Unhex("05000000") + "\x01p\x01" "a\x01m\x01q\x01v" + Unhex("06000000") +
                "\x01r\x01" "e\x01t");
}

TEST(RecordFields, PoolStoresFlagsTextsAndTwoMaps) {
  CPoolItem pool;
  pool.m_bTelnet = 1;
  pool.m_nShellPort = 23;
  pool.m_strShellUser = "u";
  pool.m_nSecurityModel = 3;
  pool.m_strReadCommunity = "public";
  pool.m_strContextEngineId = "e";
  std::string expected = ClassRecord("CPoolItem") + Unhex("01000000") + std::string(24, '\0') +
                         Unhex("17000000") + "\x01u" + std::string(7, '\0') + Unhex("03000000") +
                         std::string(12, '\0') + "\x06public" + std::string(5, '\0') + "\x01" "e" +
                         Unhex("ffff00000e00") + "CMapStringToOb" + Unhex("0000") + Unhex("0380") + Unhex("0000");
  EXPECT_EQ(Hex(Encode(pool)), Hex(expected));
  EXPECT_EQ(Decode<CPoolItem>(expected), pool);
}

TEST(RecordFields, EveryRecordRoundTripsWithAllFieldsSet) {
  CMirvaleDoc doc = SampleDocument();
  for (const auto& [name, pool] : doc.m_mapPools) EXPECT_EQ(Decode<CPoolItem>(Encode(*pool)), *pool) << name;
  for (const auto& [name, action] : doc.m_mapActions) EXPECT_EQ(Decode<CActionItem>(Encode(*action)), *action);
  for (const auto& [name, request] : doc.m_mapRestore) EXPECT_EQ(Decode<CRestoreItem>(Encode(*request)), *request);
  CDbItem device = SampleDevice("core", "10.0.0.1", 5);
  std::string bytes = Encode(device);
  EXPECT_EQ(Decode<CDbItem>(bytes), device);
  EXPECT_EQ(Encode(Decode<CDbItem>(bytes)), bytes);
}

TEST(RecordFields, AllQueriesPoolWritesAnEmptyQueryMap) {
  CPoolItem pool;
  pool.m_bAllQueries = 1;
  std::string bytes = Encode(pool);
  std::string emptyMaps = Unhex("ffff00000e00") + "CMapStringToOb" + Unhex("0000") + Unhex("0380") + Unhex("0000");
  EXPECT_EQ(bytes.substr(bytes.size() - emptyMaps.size()), emptyMaps);
}

TEST(RecordFields, LoadedMapReplacesWhatTheRecordHeld) {
  CDbItem stored = SampleDevice("core", "10.0.0.1", 2);
  std::string bytes = Encode(stored);
  ArchiveReader reader(bytes);
  CDbItem target = SampleDevice("core", "10.0.0.1", 6);
  target = *reader.ReadObject<CDbItem>();
  EXPECT_EQ(target.m_pQueries.size(), 2u);
  EXPECT_EQ(target, stored);
}

TEST(RecordMapOwnership, CopiesAreDeepAndIndependent) {
  DeviceDatabaseMap original = SampleDeviceDatabase();
  DeviceDatabaseMap copy = original;
  EXPECT_EQ(copy, original);
  original.Find("core/10.0.0.1")->m_pQueries.Find("1")->m_strValue = "changed";
  original.Remove("core/10.0.0.2");
  EXPECT_EQ(copy.Find("core/10.0.0.1")->m_pQueries.Find("1")->m_strValue, "line 1");
  ASSERT_NE(copy.Find("core/10.0.0.2"), nullptr);
  EXPECT_NE(copy, original);

  CMirvaleDoc doc = SampleDocument();
  CMirvaleDoc docCopy = doc;
  doc.m_mapPools.Find("core")->m_pDevices.clear();
  EXPECT_EQ(docCopy.m_mapPools.Find("core")->m_pDevices.size(), 2u);
}

TEST(RecordMapOwnership, SetReplacesAndRemoveReports) {
  RecordMap<CDeviceItem> map;
  map.Set("a", CDeviceItem{"1", ""});
  map.Set("a", std::unique_ptr<CDeviceItem>());
  ASSERT_NE(map.Find("a"), nullptr);
  EXPECT_EQ(map.Find("a")->m_strAddress, "");
  EXPECT_TRUE(map.Remove("a"));
  EXPECT_FALSE(map.Remove("a"));
  EXPECT_TRUE(map.empty());
}

TEST(StoredFiles, WholeFilesRoundTripByteForByte) {
  CMirvaleDoc doc = SampleDocument();
  std::string settings = EncodeSettings(doc);
  EXPECT_EQ(DecodeSettings(settings), doc);
  EXPECT_EQ(EncodeSettings(DecodeSettings(settings)), settings);

  DeviceDatabaseMap devices = SampleDeviceDatabase();
  std::string db = EncodeDeviceDatabase(devices);
  EXPECT_EQ(DecodeDeviceDatabase(db), devices);
  EXPECT_EQ(EncodeDeviceDatabase(DecodeDeviceDatabase(db)), db);

  ScanDatabase scan = SampleScanDatabase();
  std::string sdb = EncodeScanDatabase(scan.header, scan.map);
  EXPECT_EQ(DecodeScanDatabase(sdb), scan);
}

TEST(StoredFiles, EmptyDatabasesAreMinimal) {
  EXPECT_EQ(Hex(EncodeDeviceDatabase({})), "0000");
  ScanDatabaseHeader running{"1700000000", "", "Running", ""};
  std::string sdb = EncodeScanDatabase(running, {});
  EXPECT_EQ(sdb, "\x0a" "1700000000" + std::string(1, '\0') + "\x07Running" + std::string(3, '\0'));
  ScanDatabase back = DecodeScanDatabase(sdb);
  EXPECT_EQ(back.header, running);
  EXPECT_TRUE(back.map.empty());
}

TEST(StoredFiles, LayoutIsChosenByTheCaller) {
  ScanDatabase scan = SampleScanDatabase();
  std::string sdb = EncodeScanDatabase(scan.header, scan.map);
  EXPECT_THROW(DecodeDeviceDatabase(sdb), ArchiveError);
  EXPECT_THROW(DecodeScanDatabase(EncodeDeviceDatabase(SampleDeviceDatabase())), ArchiveError);
  EXPECT_STREQ(DatabaseFileName(DatabaseLayout::Device), "Mirvale.db");
  EXPECT_STREQ(DatabaseFileName(DatabaseLayout::Scan), "Mirvale.sdb");
}
