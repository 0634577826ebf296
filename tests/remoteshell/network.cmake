add_library(remoteshell_net_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/net_test_support.cpp)
target_link_libraries(remoteshell_net_test_support PUBLIC mirvale_remoteshell mirvale_remoteshell_net_internals mirvale_test_tree)

mirvale_add_test(remoteshell_network_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/network_test.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell)

mirvale_add_test(remoteshell_network_e2e_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/network_e2e_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell)
