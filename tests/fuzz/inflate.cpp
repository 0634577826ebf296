// SSH compression's receiving side: a hostile stream is refused or decoded within bounds, and
// the same bytes give the same output whether they arrive at once or split at any point.
#include <string>

#include "base/memory.h"
#include "crypto/ssh_zlib.h"

namespace {

// Everything the decompressor gives for the pieces; false once it refused them.
bool Decode(const unsigned char* data, size_t size, size_t split, std::string* out) {
  ZlibDecompressor* context = zlib_decompress_new();
  bool ok = true;
  for (auto [from, to] : {std::pair<size_t, size_t>{0, split}, {split, size}}) {
    if (from == to) continue;
    unsigned char* block = nullptr;
    int length = 0;
    if (!zlib_decompress(context, data + from, static_cast<int>(to - from), &block, &length)) {
      ok = false;
      break;
    }
    if (length > zlib_max_packet_output) __builtin_trap();
    if (block != nullptr) out->append(reinterpret_cast<char*>(block), static_cast<size_t>(length));
    checked_free(block);
  }
  zlib_decompress_free(context);
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size < 1 || size > 65536) return 0;
  const size_t split = data[0] % size;
  std::string whole, pieces;
  const bool whole_ok = Decode(data + 1, size - 1, size - 1, &whole);
  const bool pieces_ok = Decode(data + 1, size - 1, split, &pieces);
  // A split stream may fail later than the whole one, never give other bytes before that.
  if (whole_ok && pieces_ok && whole != pieces) __builtin_trap();
  return 0;
}
