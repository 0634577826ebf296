# ICMP echo, inside the test's own network namespace.
mirvale_add_test(icmp_echo_tests LABEL e2e
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/icmp_echo_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_platform)
