// Damaged files: every truncation is refused, and random mutations are either refused or read
// as a well-formed file, never crash or leak (the sanitizer build runs these too).
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "common/archive_error.h"
#include "common/database_files.h"
#include "common/settings_file.h"
#include "tests/common/record_samples.h"

using namespace mirvale;
using namespace record_samples;

namespace {

struct FileKind {
  const char* name;
  std::string bytes;
  // Decodes and encodes again; throws ArchiveError on a malformed file.
  std::function<std::string(std::string_view)> reencode;
};

std::vector<FileKind> Kinds() {
  ScanDatabase scan = SampleScanDatabase();
  return {
      {"settings", EncodeSettings(SampleDocument()),
       [](std::string_view b) { return EncodeSettings(DecodeSettings(b)); }},
      {"device database", EncodeDeviceDatabase(SampleDeviceDatabase()),
       [](std::string_view b) { return EncodeDeviceDatabase(DecodeDeviceDatabase(b)); }},
      {"scan database", EncodeScanDatabase(scan.header, scan.map),
       [](std::string_view b) {
         ScanDatabase s = DecodeScanDatabase(b);
         return EncodeScanDatabase(s.header, s.map);
       }},
  };
}

std::string Mutate(std::string bytes, std::mt19937& random) {
  int edits = 1 + static_cast<int>(random() % 4);
  for (int i = 0; i < edits && !bytes.empty(); ++i) {
    size_t at = random() % bytes.size();
    switch (random() % 5) {
      case 0: bytes[at] = static_cast<char>(bytes[at] ^ (1 << (random() % 8))); break;
      case 1: bytes[at] = static_cast<char>(random()); break;
      case 2: bytes[at] = static_cast<char>(0xFF); break;
      case 3: bytes.insert(at, 1, static_cast<char>(random())); break;
      case 4: bytes.erase(at, 1 + random() % 3); break;
    }
  }
  return bytes;
}

}  // namespace

TEST(MalformedFiles, EveryTruncationIsRefused) {
  for (const FileKind& kind : Kinds()) {
    ASSERT_EQ(kind.reencode(kind.bytes), kind.bytes) << kind.name;
    for (size_t length = 0; length < kind.bytes.size(); ++length) {
      EXPECT_THROW(kind.reencode(std::string_view(kind.bytes).substr(0, length)), ArchiveError)
          << kind.name << " cut at " << length;
    }
  }
}

TEST(MalformedFiles, RandomMutationsAreRefusedOrReadAsValidFiles) {
  std::mt19937 random(20261209);
  for (const FileKind& kind : Kinds()) {
    int refused = 0;
    for (int round = 0; round < 2000; ++round) {
      std::string mutated = Mutate(kind.bytes, random);
      try {
        std::string again = kind.reencode(mutated);
        // What was accepted is a well-formed file: it reads back to the same bytes.
        EXPECT_EQ(kind.reencode(again), again) << kind.name << " round " << round;
      } catch (const ArchiveError&) {
        ++refused;
      }
    }
    EXPECT_GT(refused, 0) << kind.name;
  }
}
