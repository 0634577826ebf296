# The whole desktop program on Xvfb against a real MirvaleSrv (and snmpd in the test's own
# network namespace) while the service is slow, hung or down, and while its notices arrive.
mirvale_add_test(desktop_service_wait_tests LABEL e2e SERIAL TIMEOUT 600
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/service_wait_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_desktop_shell mirvale_desktop_pools mirvale_desktop_results Qt6::Test mirvale_platform)
add_dependencies(desktop_service_wait_tests MirvaleSrv)
