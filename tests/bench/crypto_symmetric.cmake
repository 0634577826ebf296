mirvale_add_benchmark(crypto_symmetric_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/crypto_symmetric_bench.cpp
  LIBS mirvale_crypto)
