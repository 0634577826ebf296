#include "service/scanning/snmp_boot_counter.h"

#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "tests/support/scoped_env.h"

namespace mirvale {
namespace {

using testing_support::TempFolder;

TEST(SnmpBootCounter, MissingFileOrEntryCountsZeroAndEachAdvanceAddsOne) {
  TempFolder folder;
  std::string path = folder / "snmpv3_boot_counter";
  EXPECT_EQ(snmp_boot_counter::Read(path, "Mirvale"), 0u);
  EXPECT_EQ(snmp_boot_counter::Advance(path, "Mirvale"), 1u);
  EXPECT_EQ(snmp_boot_counter::Advance(path, "Mirvale"), 2u);
  EXPECT_EQ(snmp_boot_counter::Read(path, "other"), 0u);
  ASSERT_TRUE(snmp_boot_counter::Save(path, "other", 7));
  EXPECT_EQ(snmp_boot_counter::Read(path, "Mirvale"), 2u);
  EXPECT_EQ(snmp_boot_counter::Advance(path, "other"), 8u);
}

TEST(SnmpBootCounter, DamagedFileStopsTheCount) {
  TempFolder folder;
  std::string path = folder / "snmpv3_boot_counter";
  ASSERT_TRUE(platform::WriteFileAtomically(path, "Mirvale lots\n"));
  EXPECT_FALSE(snmp_boot_counter::Read(path, "Mirvale"));
  EXPECT_FALSE(snmp_boot_counter::Advance(path, "Mirvale"));
  EXPECT_EQ(platform::ReadWholeFile(path), "Mirvale lots\n");
  ASSERT_TRUE(platform::WriteFileAtomically(path, "Mirvale 4294967296\n"));
  EXPECT_FALSE(snmp_boot_counter::Read(path, "Mirvale"));
}

TEST(SnmpBootCounter, UnwritableFolderFailsTheAdvance) {
  EXPECT_FALSE(snmp_boot_counter::Advance("/proc/no-such-folder/snmpv3_boot_counter", "Mirvale"));
}

}  // namespace
}  // namespace mirvale
