# Screenshots of the main window and its panes under Xvfb, saved as <build>/screenshots/*.png.
mirvale_add_test(desktop_screenshot_tests LABEL e2e SERIAL
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/screenshots_test.cpp
  LIBS mirvale_desktop_shell mirvale_desktop_pools mirvale_desktop_results Qt6::Test mirvale_platform)
add_dependencies(desktop_screenshot_tests MirvaleSrv)
