# The Reports pane, Restore Devices and Compare Devices in the whole program against a real
# MirvaleSrv under Xvfb, with screenshots in <build>/screenshots.
mirvale_add_test(desktop_results_views_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/results_views_test.cpp
  LIBS mirvale_desktop_shell mirvale_desktop_pools mirvale_desktop_results Qt6::Test mirvale_platform)
add_dependencies(desktop_results_views_tests MirvaleSrv)
