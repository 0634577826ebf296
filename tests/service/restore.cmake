# Set and restore requests: request selection, result merge and runs with recorded channels.
mirvale_add_test(restore_unit_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/restore_requests_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/restore_run_test.cpp
  LIBS mirvale_service)

# Through the real MirvaleSrv against snmpd inside the test's own network namespace.
mirvale_add_test(restore_e2e_tests LABEL e2e
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/restore_service_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_service)
add_dependencies(restore_e2e_tests MirvaleSrv)

# A shell request through the real MirvaleSrv to the fake device behind busybox's telnet server
# and behind sshd.
mirvale_add_test(restore_shell_e2e_tests LABEL e2e
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/restore_shell_service_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_service)
add_dependencies(restore_shell_e2e_tests MirvaleSrv)
