# The real service scanning a loopback /24 and /16 served by one snmpd (needs root: private
# network namespace).
mirvale_add_benchmark(service_scan_bench
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/service_scan_bench.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_service)
add_dependencies(service_scan_bench MirvaleSrv)
target_compile_definitions(service_scan_bench PRIVATE
  MIRVALE_SOURCE_DIR="${CMAKE_SOURCE_DIR}" MIRVALE_BINARY_DIR="${CMAKE_BINARY_DIR}")
