mirvale_add_test(remoteshell_frontend_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frontend_test.cpp
  LIBS mirvale_remoteshell)
