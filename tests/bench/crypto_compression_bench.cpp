// Compression and decompression throughput of the SSH "zlib" method beside the zlib library,
// both flushing at every 16 KiB packet as an SSH connection does. Targets: compress at least
// 30 MB/s, inflate at least 150 MB/s.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "crypto/ssh_zlib.h"
#include "base/memory.h"

namespace {

using Bytes = std::vector<unsigned char>;
constexpr size_t packet_size = 16384;

// Device configurations: text with many repeats at many distances.
const Bytes& corpus() {
  static const Bytes data = [] {
    static const char* words[] = {"interface ", "GigabitEthernet0/", "ip address 10.1.", "shutdown\r\n",
                                  "description uplink ", "!\r\n", "hostname core", " 255.255.255.0\r\n",
                                  "snmp-server community ", "logging host 192.168.", "ntp server "};
    std::mt19937 rng(2026);
    Bytes out;
    while (out.size() < 4 * 1024 * 1024) {
      std::string w = words[rng() % 11] + std::to_string(rng() % 200);
      out.insert(out.end(), w.begin(), w.end());
    }
    return out;
  }();
  return data;
}

std::vector<Bytes> our_packets() {
  ZlibCompressor* z = zlib_compress_new();
  std::vector<Bytes> packets;
  const Bytes& data = corpus();
  for (size_t pos = 0; pos < data.size(); pos += packet_size) {
    unsigned char* block;
    int length;
    zlib_compress(z, data.data() + pos, static_cast<int>(std::min(packet_size, data.size() - pos)), &block, &length);
    packets.emplace_back(block, block + length);
    checked_free(block);
  }
  zlib_compress_free(z);
  return packets;
}

std::vector<Bytes> library_packets(int level) {
  z_stream s{};
  deflateInit(&s, level);
  std::vector<Bytes> packets;
  const Bytes& data = corpus();
  Bytes out(packet_size * 2 + 64);
  for (size_t pos = 0; pos < data.size(); pos += packet_size) {
    s.next_in = const_cast<unsigned char*>(data.data() + pos);
    s.avail_in = static_cast<unsigned>(std::min(packet_size, data.size() - pos));
    s.next_out = out.data();
    s.avail_out = static_cast<unsigned>(out.size());
    deflate(&s, Z_SYNC_FLUSH);
    packets.emplace_back(out.data(), s.next_out);
  }
  deflateEnd(&s);
  return packets;
}

void BM_OurCompress(benchmark::State& state) {
  const Bytes& data = corpus();
  size_t packed = 0;
  for (auto _ : state) {
    ZlibCompressor* z = zlib_compress_new();
    packed = 0;
    for (size_t pos = 0; pos < data.size(); pos += packet_size) {
      unsigned char* block;
      int length;
      zlib_compress(z, data.data() + pos, static_cast<int>(std::min(packet_size, data.size() - pos)), &block, &length);
      packed += length;
      checked_free(block);
    }
    zlib_compress_free(z);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  state.counters["size_percent"] = 100.0 * packed / data.size();
}
BENCHMARK(BM_OurCompress)->Unit(benchmark::kMillisecond);

void BM_LibraryCompress(benchmark::State& state) {
  const Bytes& data = corpus();
  size_t packed = 0;
  for (auto _ : state) {
    packed = 0;
    for (const Bytes& p : library_packets(static_cast<int>(state.range(0)))) packed += p.size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  state.counters["size_percent"] = 100.0 * packed / data.size();
}
BENCHMARK(BM_LibraryCompress)->Arg(1)->Arg(6)->Unit(benchmark::kMillisecond);

void our_inflate(benchmark::State& state, const std::vector<Bytes>& packets) {
  for (auto _ : state) {
    ZlibDecompressor* z = zlib_decompress_new();
    for (const Bytes& p : packets) {
      unsigned char* block;
      int length;
      if (!zlib_decompress(z, p.data(), static_cast<int>(p.size()), &block, &length)) state.SkipWithError("refused");
      else checked_free(block);
    }
    zlib_decompress_free(z);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus().size()));
}

void library_inflate(benchmark::State& state, const std::vector<Bytes>& packets) {
  Bytes out(packet_size * 2);
  for (auto _ : state) {
    z_stream s{};
    inflateInit(&s);
    for (const Bytes& p : packets) {
      s.next_in = const_cast<unsigned char*>(p.data());
      s.avail_in = static_cast<unsigned>(p.size());
      s.next_out = out.data();
      s.avail_out = static_cast<unsigned>(out.size());
      inflate(&s, Z_SYNC_FLUSH);
      benchmark::DoNotOptimize(out.data());
    }
    inflateEnd(&s);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus().size()));
}

void BM_OurInflateOwnStream(benchmark::State& state) { our_inflate(state, our_packets()); }
void BM_LibraryInflateOwnStream(benchmark::State& state) { library_inflate(state, our_packets()); }
void BM_OurInflateLibraryStream(benchmark::State& state) { our_inflate(state, library_packets(6)); }
void BM_LibraryInflateLibraryStream(benchmark::State& state) { library_inflate(state, library_packets(6)); }
BENCHMARK(BM_OurInflateOwnStream)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibraryInflateOwnStream)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OurInflateLibraryStream)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibraryInflateLibraryStream)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
