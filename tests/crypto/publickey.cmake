mirvale_add_test(bignum_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/bignum_test.cpp
  LIBS mirvale_crypto)
mirvale_add_test(rsa_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/rsa_test.cpp
  LIBS mirvale_crypto)
mirvale_add_test(dsa_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dsa_test.cpp
  LIBS mirvale_crypto)
mirvale_add_test(dh_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dh_test.cpp
  LIBS mirvale_crypto)
add_executable(random_pool_probe ${CMAKE_CURRENT_LIST_DIR}/random_pool_probe.cpp)
target_link_libraries(random_pool_probe PRIVATE mirvale_crypto mirvale_test_tree)
mirvale_add_test(random_pool_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/random_pool_test.cpp
  LIBS mirvale_crypto mirvale_platform)
add_dependencies(random_pool_tests random_pool_probe)
mirvale_add_test(algorithms_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/algorithms_test.cpp
  LIBS mirvale_crypto)
