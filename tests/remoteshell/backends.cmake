mirvale_add_test(remoteshell_backend_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/telnet_backend_test.cpp ${CMAKE_CURRENT_LIST_DIR}/backend_raw_rlogin_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell)
