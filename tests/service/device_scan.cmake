# The device scan against snmpd inside the test's own network namespace.
mirvale_add_test(device_scan_e2e_tests LABEL e2e
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/device_scan_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_service)

# A pool scan through the real MirvaleSrv.
mirvale_add_test(device_scan_service_tests LABEL e2e
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/device_scan_service_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_service)
add_dependencies(device_scan_service_tests MirvaleSrv)

# Stops, walk bounds and the SNMP wait, with hostile agents beside snmpd, through MirvaleSrv.
mirvale_add_test(scan_bounds_service_tests LABEL e2e
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/scan_bounds_service_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_service)
add_dependencies(scan_bounds_service_tests MirvaleSrv)
