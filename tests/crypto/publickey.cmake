mirvale_add_test(bignum_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/bignum_test.cpp
  LIBS mirvale_crypto)
