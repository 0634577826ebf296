# The Restore Devices dialog against a real MirvaleSrv, snmpd and the fake device over telnet, in
# the test's own network namespace.
mirvale_add_test(desktop_restore_devices_tests LABEL e2e
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/restore_devices_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_desktop_shell mirvale_desktop_pools mirvale_desktop_results Qt6::Test)
add_dependencies(desktop_restore_devices_tests MirvaleSrv)
