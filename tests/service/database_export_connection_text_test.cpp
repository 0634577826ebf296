#include "service/exports/database_export_connection_text.h"

#include <gtest/gtest.h>

using namespace mirvale;

TEST(DatabaseExportConnectionText, AnMdbPathInAnyCaseSelectsTheFileDriverAndKeepsThePath) {
  EXPECT_EQ(BuildExportConnectionText("dbq=/srv/Data/Export.MdB;Uid=admin"),
            "Driver={MirvaleFile};Database=/srv/Data/Export.MdB;");
  EXPECT_EQ(BuildExportConnectionText("Export.mdb"), "Driver={MirvaleFile};");
}

TEST(DatabaseExportConnectionText, ServerPiecesAreRebuiltInTheirFixedOrder) {
  EXPECT_EQ(BuildExportConnectionText("pwd=p;UID=u; Database=d;Server=db.local;Network=DBMSSOCN;Trusted_Connection=no"),
            "Driver={MirvaleServer};Server=db.local;Database=d;UID=u;PWD=p;");
  EXPECT_EQ(BuildExportConnectionText("ADDRESS=db.local,5433;DATABASE=d"),
            "Driver={MirvaleServer};Server=db.local;Port=5433;Database=d;");
  EXPECT_EQ(BuildExportConnectionText(""), "Driver={MirvaleServer};");
}

TEST(DatabaseExportConnectionText, KeywordsMatchOnlyAtTheStartOfAPair) {
  EXPECT_EQ(ConnectionValue("PWD=xUID=y;UID=u", "UID="), "u");
  EXPECT_EQ(ConnectionValue("GUID=1", "UID="), std::nullopt);
  EXPECT_EQ(ConnectionValue("Server=h", "SERVER="), "h");
}

TEST(DatabaseExportConnectionText, ValuesTravelInBracesWithClosingBracesDoubled) {
  EXPECT_EQ(ConnectionValue("UID=u;PWD={a;b};Server=h", "PWD="), "a;b");
  EXPECT_EQ(ConnectionValue("PWD={a;UID=b};UID=u", "UID="), "u");
  EXPECT_EQ(ConnectionValue("PWD={x}};UID=y};UID=u", "UID="), "u");
  EXPECT_EQ(BuildExportConnectionText("Server=h;PWD={a;b}"), "Driver={MirvaleServer};Server=h;PWD={a;b};");
  EXPECT_EQ(BuildExportConnectionText("Server=h;PWD={p}}w;LoadExt=x}"),
            "Driver={MirvaleServer};Server=h;PWD={p}}w;LoadExt=x};");
  EXPECT_EQ(BuildExportConnectionText("UID=a=b"), "Driver={MirvaleServer};UID={a=b};");
}

TEST(DatabaseExportConnectionText, TheDatabaseFileIsAPlainPathOnly) {
  std::string refusal;
  EXPECT_EQ(ExportFilePath("DBQ=/srv/x.mdb;UID=u", refusal), "/srv/x.mdb");
  EXPECT_EQ(refusal, "");
  EXPECT_EQ(ExportFilePath("Server=h.mdb.example", refusal), std::nullopt);
  EXPECT_EQ(refusal, "");
  for (const char* typed :
       {"DBQ={/srv/x.mdb;LoadExt=/tmp/lib.so;}", "DBQ=/srv/x.mdb}", "DBQ=/srv/a=b.mdb", "DBQ={/srv/x.mdb}"}) {
    refusal.clear();
    EXPECT_EQ(ExportFilePath(typed, refusal), std::nullopt) << typed;
    EXPECT_NE(refusal.find("not a plain file path"), std::string::npos) << typed;
    EXPECT_EQ(BuildExportConnectionText(typed), "Driver={MirvaleFile};") << typed;
  }
}
