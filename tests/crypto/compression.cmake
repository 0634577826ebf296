mirvale_add_test(crypto_compression_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/compression_compressor_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/compression_decompressor_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/compression_oracle_test.cpp
  LIBS mirvale_crypto)
