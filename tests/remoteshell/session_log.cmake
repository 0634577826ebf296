mirvale_add_test(remoteshell_session_log_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/session_log_test.cpp
  LIBS mirvale_remoteshell)
