# Records, archive format and the shared stored files.
mirvale_add_test(common_records_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/archive_format_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/records_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/database_store_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/malformed_files_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pool_network_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shared_rules_test.cpp
  LIBS mirvale_common)

mirvale_add_benchmark(common_records_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/records_bench.cpp
  LIBS mirvale_common)
