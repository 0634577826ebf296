// The two compression methods as the packet layer sees them.
#include "crypto/ssh_zlib.h"

namespace {

void* zlib_compress_new_any() { return zlib_compress_new(); }
void zlib_compress_free_any(void* ctx) { zlib_compress_free(static_cast<ZlibCompressor*>(ctx)); }
int zlib_compress_any(void* ctx, const unsigned char* data, int length, unsigned char** out_block, int* out_length) {
  return zlib_compress(static_cast<ZlibCompressor*>(ctx), data, length, out_block, out_length);
}
int zlib_disable_compression_any(void* ctx) { return zlib_disable_compression(static_cast<ZlibCompressor*>(ctx)); }
void* zlib_decompress_new_any() { return zlib_decompress_new(); }
void zlib_decompress_free_any(void* ctx) { zlib_decompress_free(static_cast<ZlibDecompressor*>(ctx)); }
int zlib_decompress_any(void* ctx, const unsigned char* data, int length, unsigned char** out_block, int* out_length) {
  return zlib_decompress(static_cast<ZlibDecompressor*>(ctx), data, length, out_block, out_length);
}

void* none_new() { return nullptr; }
void none_free(void*) {}
int none_transform(void*, const unsigned char*, int, unsigned char**, int*) { return 0; }
int none_disable(void*) { return 0; }

}  // namespace

const CompressionAlgorithm ssh_zlib = {
    "zlib",
    zlib_compress_new_any,
    zlib_compress_free_any,
    zlib_compress_any,
    zlib_decompress_new_any,
    zlib_decompress_free_any,
    zlib_decompress_any,
    zlib_disable_compression_any,
    "zlib (RFC1950)",
};

const CompressionAlgorithm ssh_compression_none = {
    "none", none_new, none_free, none_transform, none_new, none_free, none_transform, none_disable, nullptr,
};
