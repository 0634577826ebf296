mirvale_add_test(crypto_wire_buffer_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/wire_buffer_test.cpp
  LIBS mirvale_crypto)
