# The real service against a hostile member of the operators' group (makes a group and accounts).
mirvale_add_test(operator_attacks_e2e_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/operator_attacks_service_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_service mirvale_platform)
add_dependencies(operator_attacks_e2e_tests MirvaleSrv)
