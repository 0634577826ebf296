// The stored files in the archive format: Mirvale.ini, Mirvale.db and Mirvale.sdb, as a user or
// another program may leave them. The first byte picks the layout. What decodes encodes to
// bytes that decode and encode again to the very same bytes (the reader also takes the longer
// length forms older writers used, so the first encoding may be shorter than the input). The
// check a hand-over makes without building records takes exactly the settings that decode.
#include "common/archive_error.h"
#include "common/database_files.h"
#include "common/settings_file.h"

namespace {

template <typename Decode, typename Encode>
void RoundTrip(std::string_view bytes, Decode decode, Encode encode) {
  std::string first;
  try {
    first = encode(decode(bytes));
  } catch (const mirvale::ArchiveError&) {
    return;
  }
  if (encode(decode(first)) != first) __builtin_trap();
}

// True when the call throws no ArchiveError.
template <typename Call>
bool Accepted(Call call) {
  try {
    call();
    return true;
  } catch (const mirvale::ArchiveError&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size < 1) return 0;
  using namespace mirvale;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 3) {
    case 0:
      if (Accepted([&] { CheckSettings(bytes); }) != Accepted([&] { DecodeSettings(bytes); })) __builtin_trap();
      RoundTrip(bytes, DecodeSettings, EncodeSettings);
      break;
    case 1: RoundTrip(bytes, DecodeDeviceDatabase, EncodeDeviceDatabase); break;
    default:
      RoundTrip(bytes, DecodeScanDatabase,
                [](const ScanDatabase& database) { return EncodeScanDatabase(database.header, database.map); });
  }
  return 0;
}
