# E-mail, run-program, text-export and database-export actions.
mirvale_add_test(email_unit_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/email_message_test.cpp
  LIBS mirvale_service)
mirvale_add_test(email_e2e_tests LABEL e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/email_delivery_test.cpp
  LIBS mirvale_service)
mirvale_add_test(text_export_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_export_test.cpp
  LIBS mirvale_service)
# Serial: the tests add and remove system accounts, which useradd does not allow in parallel.
# libcrypt is linked so that it is loaded at start: the sanitizers' crypt_r interceptor finds no
# real function when PAM's modules load it later.
mirvale_add_test(run_program_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/run_program_test.cpp
  LIBS mirvale_service crypt)
mirvale_add_test(database_export_unit_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/database_export_connection_text_test.cpp
  LIBS mirvale_service)
mirvale_add_test(database_export_tests LABEL e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/database_export_test.cpp
  LIBS mirvale_service)
# The actions and exports started by the real MirvaleSrv.
mirvale_add_test(actions_service_tests LABEL e2e
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/email_service_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text_export_service_test.cpp
  LIBS mirvale_service)
add_dependencies(actions_service_tests MirvaleSrv)
# The database export of the real MirvaleSrv into a temporary PostgreSQL cluster.
mirvale_add_test(database_export_postgres_tests LABEL e2e
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/database_export_postgres_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/snmp_agent.cpp
  LIBS mirvale_service)
add_dependencies(database_export_postgres_tests MirvaleSrv)
