# The host-key cache through the real MirvaleSrv and sshd on loopback.
mirvale_add_test(service_host_key_cache_tests LABEL e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/host_key_cache_service_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_service mirvale_platform)
add_dependencies(service_host_key_cache_tests MirvaleSrv)
