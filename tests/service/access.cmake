# Who may drive the real service and read its files (makes a test account).
mirvale_add_test(control_access_e2e_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/control_access_service_test.cpp
  LIBS mirvale_service)
add_dependencies(control_access_e2e_tests MirvaleSrv)
# The folders operators share, registration in either order, and non-root registration.
mirvale_add_test(shared_folders_e2e_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shared_folders_service_test.cpp
  LIBS mirvale_service)
add_dependencies(shared_folders_e2e_tests MirvaleSrv)
# An operator's day under a real systemd booted in namespaces of its own (root; installs nothing).
# It runs the real desktop program, so it is built only with it.
if(MIRVALE_BUILD_DESKTOP)
  mirvale_add_test(operator_day_systemd_e2e_tests LABEL e2e SERIAL TIMEOUT 300
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/operator_day_systemd_test.cpp
    LIBS mirvale_service)
  add_dependencies(operator_day_systemd_e2e_tests MirvaleSrv Mirvale)
endif()
