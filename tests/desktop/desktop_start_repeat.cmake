# The desktop program started 200 times against a database of 1,000 devices (a test of its own:
# it takes a minute or two).
mirvale_add_test(desktop_start_repeat_tests LABEL e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/desktop_start_repeat_test.cpp
  LIBS mirvale_desktop_shell mirvale_desktop_pools mirvale_desktop_results Qt6::Test)
