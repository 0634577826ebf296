# The desktop program in the test's process against a real MirvaleSrv (offscreen platform).
mirvale_add_test(desktop_start_tests LABEL e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/desktop_start_test.cpp
  LIBS mirvale_desktop_shell mirvale_desktop_pools mirvale_desktop_results Qt6::Test)
add_dependencies(desktop_start_tests Mirvale MirvaleSrv)
