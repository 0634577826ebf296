#pragma once
// SSH "zlib" compression: one continuous zlib stream (RFC 1950 header, RFC 1951 data) per
// direction for the life of a connection, flushed at every packet so that the peer can decode
// each packet's bytes as soon as they arrive.
//
// Every output block is a new buffer from checked_alloc, owned by the caller (checked_free).

struct ZlibCompressor;
struct ZlibDecompressor;

// The packet layer reaches a compressor only through this record (one immutable instance per
// method). Contexts are opaque to it.
struct CompressionAlgorithm {
  const char* name;
  void* (*compress_new)();
  void (*compress_free)(void* ctx);
  // 1 with a new block in out_block/out_length; 0 when nothing was done (method "none").
  int (*compress)(void* ctx, const unsigned char* data, int length, unsigned char** out_block, int* out_length);
  void* (*decompress_new)();
  void (*decompress_free)(void* ctx);
  // 1 with a new block; 0 with no block on corrupt input (or for "none").
  int (*decompress)(void* ctx, const unsigned char* data, int length, unsigned char** out_block, int* out_length);
  // The next packet goes out uncompressed; returns its worst-case growth in bytes.
  int (*disable_compression)(void* ctx);
  const char* display_name;  // null when there is nothing to announce
};

extern const CompressionAlgorithm ssh_zlib;
extern const CompressionAlgorithm ssh_compression_none;

// Largest output one decompress call may produce: an SSH packet is never longer, so anything
// beyond it is a hostile stream, refused rather than allowed to exhaust memory.
constexpr int zlib_max_packet_output = 256 * 1024;

ZlibCompressor* zlib_compress_new();
void zlib_compress_free(ZlibCompressor* ctx);
// Always succeeds (returns 1).
int zlib_compress(ZlibCompressor* ctx, const unsigned char* data, int length, unsigned char** out_block,
                  int* out_length);
// Sends the next packet in stored blocks. The bound returned holds for packets of up to 65535
// bytes (one stored block), which covers every SSH packet.
int zlib_disable_compression(ZlibCompressor* ctx);

ZlibDecompressor* zlib_decompress_new();
void zlib_decompress_free(ZlibDecompressor* ctx);
// Decodes as much as the bytes so far allow; the rest waits for the next call. After a failure
// the context stays failed.
int zlib_decompress(ZlibDecompressor* ctx, const unsigned char* data, int length, unsigned char** out_block,
                    int* out_length);
