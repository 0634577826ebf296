mirvale_add_test(service_shell_text_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_text_test.cpp
  LIBS mirvale_service)

mirvale_add_test(service_shell_session_tests LABEL e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_session_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_service mirvale_platform)

mirvale_add_benchmark(service_shell_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_bench.cpp
  LIBS mirvale_service mirvale_platform)
target_compile_definitions(service_shell_bench PRIVATE MIRVALE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

mirvale_add_test(service_shell_scan_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_scan_service_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_service mirvale_platform)
add_dependencies(service_shell_scan_tests MirvaleSrv)
target_compile_definitions(service_shell_scan_tests PRIVATE
  MIRVALE_SSH1_PEER="${CMAKE_SOURCE_DIR}/tests/remoteshell/peers/ssh1_server.py")


# Devices whose output arrives in pieces or that answer oddly, through the real MirvaleSrv.
mirvale_add_test(service_shell_device_output_tests LABEL e2e TIMEOUT 600
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_device_output_service_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_service mirvale_platform)
add_dependencies(service_shell_device_output_tests MirvaleSrv)

# Only a whole configuration replaces the stored one; stored lines are what the device sent.
mirvale_add_test(service_shell_complete_tests LABEL e2e TIMEOUT 600
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_complete_service_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS remoteshell_net_test_support mirvale_remoteshell_ssh_internals mirvale_service mirvale_platform)
add_dependencies(service_shell_complete_tests MirvaleSrv)
