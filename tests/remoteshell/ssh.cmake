mirvale_add_test(remoteshell_ssh_e2e_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ssh_e2e_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_remoteshell mirvale_platform)
target_compile_definitions(remoteshell_ssh_e2e_tests PRIVATE
  MIRVALE_SSH_PEER="${CMAKE_CURRENT_LIST_DIR}/peers/ssh_paramiko_server.py"
  MIRVALE_ASYNCSSH_PEER="${CMAKE_CURRENT_LIST_DIR}/peers/ssh_asyncssh_server.py")

mirvale_add_test(remoteshell_ssh_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ssh_transport_test.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_remoteshell)

mirvale_add_test(remoteshell_proxy_e2e_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/proxy_e2e_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_remoteshell mirvale_platform)
target_compile_definitions(remoteshell_proxy_e2e_tests PRIVATE
  MIRVALE_PROXY_PEER="${CMAKE_CURRENT_LIST_DIR}/peers/proxy_peer.py")

mirvale_add_test(remoteshell_proxy_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/proxy_test.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_net_internals mirvale_remoteshell)

mirvale_add_benchmark(remoteshell_ssh_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ssh_bench.cpp ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_remoteshell mirvale_platform)
target_compile_definitions(remoteshell_ssh_bench PRIVATE MIRVALE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

mirvale_add_test(remoteshell_ssh_login_e2e_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ssh_login_e2e_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_remoteshell mirvale_platform)

mirvale_add_test(remoteshell_ssh_forwarding_e2e_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ssh_forwarding_e2e_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_remoteshell mirvale_platform)
target_compile_definitions(remoteshell_ssh_forwarding_e2e_tests PRIVATE
  MIRVALE_ECHO_PEER="${CMAKE_CURRENT_LIST_DIR}/peers/echo_server.py")

mirvale_add_test(remoteshell_forwarding_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/forwarding_test.cpp
  LIBS mirvale_remoteshell_ssh_internals mirvale_remoteshell)

mirvale_add_test(remoteshell_ssh1_e2e_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ssh1_e2e_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_remoteshell mirvale_platform)
target_compile_definitions(remoteshell_ssh1_e2e_tests PRIVATE
  MIRVALE_SSH1_PEER="${CMAKE_CURRENT_LIST_DIR}/peers/ssh1_server.py"
  MIRVALE_ECHO_PEER="${CMAKE_CURRENT_LIST_DIR}/peers/echo_server.py")
