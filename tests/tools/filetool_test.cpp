// The file tool's text form: lossless both ways, strict on mistakes, and usable as a program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "common/archive_error.h"
#include "common/database_files.h"
#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "tests/common/record_samples.h"
#include "tests/support/scoped_env.h"
#include "tests/tools/file_text_codec.h"

using namespace filetool;
using namespace record_samples;
using testing_support::TempFolder;

namespace {

std::string AllBytes() {
  std::string bytes;
  for (int c = 0; c < 256; ++c) bytes += static_cast<char>(c);
  return bytes;
}

int RunTool(const std::string& arguments) {
  std::string command = std::string(MIRVALE_BINARY_DIR) + "/bin/mirvale_filetool " + arguments + " 2>/dev/null";
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(FileText, EveryKindRoundTripsThroughText) {
  CMirvaleDoc doc = SampleDocument();
  doc.m_strMailBody = AllBytes();
  doc.m_mapPools.Find("core")->m_strShellPassword = "quote\" backslash\\ tab\t";
  std::string settings = mirvale::EncodeSettings(doc);
  std::string db = mirvale::EncodeDeviceDatabase(SampleDeviceDatabase());
  ScanDatabase scan = SampleScanDatabase();
  std::string sdb = mirvale::EncodeScanDatabase(scan.header, scan.map);
  for (auto [kind, bytes] : {std::pair{FileKind::Settings, settings}, std::pair{FileKind::DeviceDatabase, db},
                             std::pair{FileKind::ScanDatabase, sdb}}) {
    std::string text = DecodeToText(kind, bytes);
    EXPECT_EQ(EncodeFromText(kind, text), bytes) << text;
  }
}

TEST(FileText, WorkedExampleText) {
  mirvale::DeviceDatabaseMap map;
  map.Set("p1/10.0.0.1", CDbItem{"p1", "10.0.0.1", "", "", "", "", "", {}});
  EXPECT_EQ(DecodeToText(FileKind::DeviceDatabase, mirvale::EncodeDeviceDatabase(map)),
            "# Mirvale.db\n"
            "m_mapDatabase {\n"
            "  \"p1/10.0.0.1\" CDbItem {\n"
            "    m_strPool \"p1\"\n"
            "    m_strAddress \"10.0.0.1\"\n"
            "    m_strName \"\"\n"
            "    m_strScanTime \"\"\n"
            "    m_strStatus \"\"\n"
            "    m_strInterfaces \"\"\n"
            "    m_strAddresses \"\"\n"
            "    m_pQueries {\n"
            "    }\n"
            "  }\n"
            "}\n");
  EXPECT_EQ(QuoteBytes(std::string("a\x01\xff\r\n", 5)), "\"a\\x01\\xff\\r\\n\"");
}

TEST(FileText, HandWrittenTextWithCommentsAndLooseSpacing) {
  std::string text =
      "m_strScanStart \"1700000000\" # start\n m_strScanPool \"core\" m_strScanStatus \"Finished\"\n"
      "m_strScanTotal \"1\" m_mapScan { \"core/10.0.0.1\" CScanDbItem { m_strPool \"core\"\n"
      "m_strAddress \"10.0.0.1\" m_strName \"r1\" m_strStatus \"Finished \\x77ithout changes\" } }";
  ScanDatabase scan = mirvale::DecodeScanDatabase(EncodeFromText(FileKind::ScanDatabase, text));
  EXPECT_EQ(scan.header.m_strScanStatus, "Finished");
  EXPECT_EQ(scan.map.Find("core/10.0.0.1")->m_strStatus, "Finished without changes");
}

TEST(FileText, MistakesAreRefusedWithTheirLine) {
  std::string good = DecodeToText(FileKind::ScanDatabase, [] {
    ScanDatabase scan = SampleScanDatabase();
    return mirvale::EncodeScanDatabase(scan.header, scan.map);
  }());
  auto refused = [](const std::string& text) {
    try {
      EncodeFromText(FileKind::ScanDatabase, text);
    } catch (const TextFormatError& error) {
      return std::string(error.what());
    }
    return std::string();
  };
  auto replace = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  EXPECT_NE(refused(replace("m_strScanPool", "m_strScanPooI")).find("line 3"), std::string::npos);
  EXPECT_FALSE(refused(replace("CScanDbItem", "CDbItem")).empty());
  EXPECT_FALSE(refused(replace("\"core/10.0.0.2\"", "\"core/10.0.0.1\"")).empty());
  EXPECT_FALSE(refused(replace("\"Running\"", "\"Run\\q\"")).empty());
  EXPECT_FALSE(refused(good + "}").empty());
  EXPECT_FALSE(refused(good.substr(0, good.size() - 3)).empty());
  EXPECT_THROW(EncodeFromText(FileKind::Settings, "m_strDocName \"x\" m_bAutoScan 4294967296"), TextFormatError);
}

TEST(FileTool, DecodesAndEncodesFiles) {
  TempFolder folder;
  std::string db = mirvale::EncodeDeviceDatabase(SampleDeviceDatabase());
  ASSERT_TRUE(platform::WriteFileAtomically(folder / "Mirvale.db", db));
  ASSERT_EQ(RunTool("decode --db " + folder / "Mirvale.db" + " > " + folder / "db.txt"), 0);
  ASSERT_EQ(RunTool("encode --db " + folder / "db.txt" + " " + folder / "again.db"), 0);
  EXPECT_EQ(platform::ReadWholeFile(folder / "again.db"), db);
  ASSERT_EQ(RunTool("encode --db - " + folder / "stdin.db" + " < " + folder / "db.txt"), 0);
  EXPECT_EQ(platform::ReadWholeFile(folder / "stdin.db"), db);

  EXPECT_EQ(RunTool("decode --sdb " + folder / "Mirvale.db"), 1);
  EXPECT_EQ(RunTool("decode --db " + folder / "missing.db"), 1);
  EXPECT_EQ(RunTool("decode --ini " + folder / "Mirvale.db"), 2);
  EXPECT_EQ(RunTool("encode --db " + folder / "db.txt"), 2);
}
