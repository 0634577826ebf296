# Who may drive the real service and read its files (makes a test account).
mirvale_add_test(control_access_e2e_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/control_access_service_test.cpp
  LIBS mirvale_service)
add_dependencies(control_access_e2e_tests MirvaleSrv)
