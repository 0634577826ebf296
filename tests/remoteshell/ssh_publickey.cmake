mirvale_add_test(remoteshell_ssh_publickey_e2e_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ssh_publickey_e2e_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_remoteshell mirvale_platform)
