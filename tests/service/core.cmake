# The service's host, main worker, data store, action rules, pruning and audit log.
mirvale_add_test(service_core_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/wildcard_placeholders_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/action_rules_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/data_store_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/prune_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/audit_log_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scheduler_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pool_scan_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/host_parts_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_worker_test.cpp
  LIBS mirvale_service)

mirvale_add_test(service_host_e2e_tests LABEL e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/service_host_e2e_test.cpp
  LIBS mirvale_service)
add_dependencies(service_host_e2e_tests MirvaleSrv)
