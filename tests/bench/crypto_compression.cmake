# Compression throughput beside the zlib library (linked here only, as the yardstick).
find_package(ZLIB REQUIRED)
mirvale_add_benchmark(crypto_compression_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/crypto_compression_bench.cpp
  LIBS mirvale_crypto ZLIB::ZLIB)
