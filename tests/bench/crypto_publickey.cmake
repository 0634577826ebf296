mirvale_add_benchmark(crypto_publickey_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/crypto_publickey_bench.cpp
  LIBS mirvale_crypto)
