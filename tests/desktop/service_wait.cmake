# The whole desktop program on Xvfb with a window manager against a real MirvaleSrv (and snmpd
# in the test's own network namespace) while the service is hung or down and while its notices
# arrive. xcb tells the test when the window manager runs.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::XCB)
  pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb)
endif()
mirvale_add_test(desktop_service_wait_tests LABEL e2e SERIAL TIMEOUT 600
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/service_wait_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_desktop_shell mirvale_desktop_pools mirvale_desktop_results Qt6::Test mirvale_platform
    PkgConfig::XCB)
add_dependencies(desktop_service_wait_tests MirvaleSrv)
