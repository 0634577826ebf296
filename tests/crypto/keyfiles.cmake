mirvale_add_test(crypto_keyfile_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/keyfile_ssh2_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/keyfile_ssh1_test.cpp
  LIBS mirvale_crypto)
