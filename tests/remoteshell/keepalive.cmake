mirvale_add_test(remoteshell_keepalive_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/keepalive_test.cpp
  LIBS mirvale_remoteshell)
