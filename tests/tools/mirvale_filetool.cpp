// mirvale_filetool: turns the three stored files into a canonical text and back, for test
// fixtures and debugging.
//
//   mirvale_filetool decode --settings|--db|--sdb FILE        text to standard output
//   mirvale_filetool encode --settings|--db|--sdb TEXT OUT    TEXT may be "-" (standard input)
//
// Exit status: 0 done, 1 the file or text could not be read or written (reason on standard
// error), 2 wrong arguments.
//
// Text format (decode writes exactly this; encode also accepts any spacing):
// - One item per line, in the stored order: the field name, a space, its value. Numbers (the
//   DWORD fields, m_b... and m_n...) are unsigned decimal; texts are in double quotes, with
//   \\ \" \r \n \t escaped and every other byte outside 0x20..0x7E written as \xHH (two hex
//   digits), so the text holds the stored bytes exactly.
// - A map is its name and "{", one entry per key, then "}". An entry is the quoted key, the
//   record's class name and "{", the record's fields (maps inside records nest the same way),
//   then "}". Entries are listed in byte order of their keys; a key may occur only once.
// - Nesting is shown by two spaces per level. A "#" outside a text starts a comment to the end
//   of the line; decode starts with one naming the file.
// - --settings: the CMirvaleDoc fields m_strDocName ... m_strExportDatabase, then the maps
//   m_mapPools (CPoolItem), m_mapRestore (CRestoreItem), m_mapAutoScan (CAutoScanItem) and
//   m_mapActions (CActionItem).
//   --db: one map m_mapDatabase of CDbItem (each with its map m_pQueries of CDbQuery).
//   --sdb: m_strScanStart, m_strScanPool, m_strScanStatus, m_strScanTotal, then the map
//   m_mapScan of CScanDbItem.
// Example (--db):
//   # Mirvale.db
//   m_mapDatabase {
//     "p1/10.0.0.1" CDbItem {
//       m_strPool "p1"
//       m_strAddress "10.0.0.1"
//       m_strName ""
//       m_strScanTime ""
//       m_strStatus ""
//       m_strInterfaces ""
//       m_strAddresses ""
//       m_pQueries {
//       }
//     }
//   }
#include <cstring>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

#include "common/archive_error.h"
#include "platform/atomic_file.h"
#include "tests/tools/file_text_codec.h"

namespace {

int Usage() {
  std::cerr << "usage: mirvale_filetool decode --settings|--db|--sdb FILE\n"
               "       mirvale_filetool encode --settings|--db|--sdb TEXT OUT\n";
  return 2;
}

std::optional<filetool::FileKind> KindOf(const std::string& option) {
  if (option == "--settings") return filetool::FileKind::Settings;
  if (option == "--db") return filetool::FileKind::DeviceDatabase;
  if (option == "--sdb") return filetool::FileKind::ScanDatabase;
  return std::nullopt;
}

std::optional<std::string> ReadInput(const std::string& path) {
  if (path != "-") return platform::ReadWholeFile(path);
  return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  const std::string command = argv[1];
  auto kind = KindOf(argv[2]);
  if (!kind) return Usage();
  try {
    if (command == "decode" && argc == 4) {
      auto bytes = platform::ReadWholeFile(argv[3]);
      if (!bytes) {
        std::cerr << argv[3] << ": cannot be read\n";
        return 1;
      }
      std::cout << filetool::DecodeToText(*kind, *bytes);
      return 0;
    }
    if (command == "encode" && argc == 5) {
      auto text = ReadInput(argv[3]);
      if (!text) {
        std::cerr << argv[3] << ": cannot be read\n";
        return 1;
      }
      if (!platform::WriteFileAtomically(argv[4], filetool::EncodeFromText(*kind, *text))) {
        std::cerr << argv[4] << ": cannot be written\n";
        return 1;
      }
      return 0;
    }
  } catch (const std::exception& error) {
    std::cerr << argv[3] << ": " << error.what() << "\n";
    return 1;
  }
  return Usage();
}
