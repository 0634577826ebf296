# The desktop program started 200 times against a database of 1,000 devices, in the test's
# process and as the real program on Xvfb (tests of their own: the real program's splash alone
# stays 3 s a start). xcb lets the test close the program's window as a window manager would.
find_package(PkgConfig REQUIRED)
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb)
mirvale_add_test(desktop_start_repeat_tests LABEL e2e TIMEOUT 1800
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/desktop_start_repeat_test.cpp
  LIBS mirvale_desktop_shell mirvale_desktop_pools mirvale_desktop_results Qt6::Test PkgConfig::XCB)
add_dependencies(desktop_start_repeat_tests Mirvale MirvaleSrv)
