mirvale_add_test(service_ssh_key_login_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ssh_key_login_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_service mirvale_platform)
