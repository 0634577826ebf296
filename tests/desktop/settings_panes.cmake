# Settings panes: screenshots under Xvfb, and the settings flow against a real MirvaleSrv.
mirvale_add_test(desktop_settings_screenshot_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_screenshots_test.cpp
  LIBS mirvale_desktop_shell mirvale_desktop_pools mirvale_desktop_results Qt6::Test mirvale_platform)
add_dependencies(desktop_settings_screenshot_tests MirvaleSrv)
# The settings panes' widget-free rules.
mirvale_add_test(desktop_settings_logic_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_logic_test.cpp
  LIBS mirvale_desktop_shell)
# The settings flow in the whole program against a real MirvaleSrv, an SMTP sink and unixODBC.
mirvale_add_test(desktop_settings_flow_tests LABEL e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_flow_test.cpp
  LIBS mirvale_desktop_shell mirvale_desktop_pools mirvale_desktop_results Qt6::Test mirvale_platform)
add_dependencies(desktop_settings_flow_tests MirvaleSrv)
# The whole program run by operators who are not root against a real MirvaleSrv (makes accounts).
mirvale_add_test(desktop_member_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/member_desktop_test.cpp
  LIBS mirvale_desktop_shell mirvale_desktop_pools mirvale_desktop_results Qt6::Test mirvale_platform)
add_dependencies(desktop_member_tests Mirvale MirvaleSrv)
