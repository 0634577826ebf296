# Device scans of a loopback /24 served by one snmpd (needs root: private network namespace).
mirvale_add_benchmark(snmp_scan_bench
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/snmp_scan_bench.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_service)
target_compile_definitions(snmp_scan_bench PRIVATE MIRVALE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
