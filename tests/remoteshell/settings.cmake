mirvale_add_test(remoteshell_settings_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/settings_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/config_dump.cpp
  LIBS mirvale_remoteshell)
