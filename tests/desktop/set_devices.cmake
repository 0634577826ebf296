# The Set Devices dialog against a real MirvaleSrv and snmpd in the test's own network namespace.
mirvale_add_test(desktop_set_devices_tests LABEL e2e
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/set_devices_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_desktop_shell mirvale_desktop_pools mirvale_desktop_results Qt6::Test)
add_dependencies(desktop_set_devices_tests MirvaleSrv)
