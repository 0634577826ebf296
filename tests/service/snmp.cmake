# SNMP client, value texts, boot counter and trap action.
mirvale_add_test(snmp_unit_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/snmp_value_text_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/snmp_boot_counter_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trap_managers_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_scan_texts_test.cpp
  LIBS mirvale_service)

# Against snmpd, snmptrapd and a Python agent inside the test's own network namespace.
mirvale_add_test(snmp_e2e_tests LABEL e2e
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/snmp_client_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trap_thread_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_service)
