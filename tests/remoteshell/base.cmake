mirvale_add_test(remoteshell_base_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/memory_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/timers_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/seed_file_test.cpp
  LIBS mirvale_base)
