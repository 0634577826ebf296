mirvale_add_test(platform_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/folders_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/registry_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/atomic_file_test.cpp
  LIBS mirvale_platform)
