# The set and restore job with its wait dialog, against a real MirvaleSrv and snmpd in the
# test's own network namespace.
mirvale_add_test(desktop_set_restore_job_tests LABEL e2e
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/set_restore_job_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_desktop_shell Qt6::Test mirvale_desktop_pools mirvale_desktop_results)
add_dependencies(desktop_set_restore_job_tests MirvaleSrv)
