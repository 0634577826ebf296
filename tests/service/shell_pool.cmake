# A pool of telnet or SSH devices through the real MirvaleSrv, in the test's own network namespace.
mirvale_add_test(service_shell_pool_tests LABEL e2e TIMEOUT 600
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/shell_pool_service_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_service)
add_dependencies(service_shell_pool_tests MirvaleSrv)

# The shell part of a pool scan alone; the real MirvaleSrv over telnet and SSH-2 and beside
# OpenSSH's client; its peak memory with 16 devices that never end their listing. Separate
# programs: each stays well within the benchmark time-out.
foreach(bench shell_pool_bench shell_pool_service_bench shell_memory_service_bench)
  mirvale_add_benchmark(service_${bench}
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/${bench}.cpp
      ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
    LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_service mirvale_platform)
  target_compile_definitions(service_${bench} PRIVATE
    MIRVALE_SOURCE_DIR="${CMAKE_SOURCE_DIR}" MIRVALE_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_dependencies(service_${bench} MirvaleSrv)
endforeach()
