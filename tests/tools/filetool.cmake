# The stored-file tool (decode to text, encode back) and its tests.
add_executable(mirvale_filetool
  ${CMAKE_CURRENT_LIST_DIR}/mirvale_filetool.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_text_codec.cpp)
target_link_libraries(mirvale_filetool PRIVATE mirvale_common mirvale_test_tree)

mirvale_add_test(filetool_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/filetool_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_text_codec.cpp
  LIBS mirvale_common)
add_dependencies(filetool_tests mirvale_filetool)
