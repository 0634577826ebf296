# The Restore Devices dialog against a real MirvaleSrv, snmpd and the fake device over telnet and
# SSH (sshd serving it: the SSH test helpers link the remote-shell layers), in the test's own
# network namespace.
mirvale_add_test(desktop_restore_devices_tests LABEL e2e
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/restore_devices_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_desktop_shell mirvale_desktop_pools mirvale_desktop_results Qt6::Test
       remoteshell_net_test_support mirvale_remoteshell_ssh_internals)
add_dependencies(desktop_restore_devices_tests MirvaleSrv)
