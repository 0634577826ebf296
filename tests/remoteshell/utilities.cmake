mirvale_add_test(remoteshell_utility_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/byte_queue_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/prompt_set_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_text_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/counted_tree_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/version_pattern_test.cpp
  LIBS mirvale_remoteshell)
