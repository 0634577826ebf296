mirvale_add_test(crypto_symmetric_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/hash_known_answer_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hash_differential_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mac_hmac_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cipher_aes_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cipher_des_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cipher_blowfish_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cipher_arcfour_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/crc32_detector_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/instruction_paths_test.cpp
  LIBS mirvale_crypto)
