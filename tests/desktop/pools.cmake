# Pools and scanning views: widget-free rules and imports (unit), the Scan pane and pool dialogs
# against a real MirvaleSrv and snmpd in the test's own network namespace (e2e), screenshots.
mirvale_add_test(desktop_pools_unit_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/pools_logic_test.cpp
  LIBS mirvale_desktop_pools)
mirvale_add_test(desktop_pools_e2e_tests LABEL e2e SERIAL TIMEOUT 600
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pools_scan_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_desktop_shell mirvale_desktop_pools mirvale_desktop_results Qt6::Test mirvale_platform)
add_dependencies(desktop_pools_e2e_tests MirvaleSrv)
mirvale_add_test(desktop_pools_screenshot_tests LABEL e2e SERIAL
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pools_screenshots_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_desktop_shell mirvale_desktop_pools mirvale_desktop_results Qt6::Test mirvale_platform)
add_dependencies(desktop_pools_screenshot_tests MirvaleSrv)
