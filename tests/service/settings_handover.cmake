# The real service with two members of the operators' group handing settings over (makes a group
# and accounts).
mirvale_add_test(settings_handover_e2e_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_handover_service_test.cpp
  LIBS mirvale_common mirvale_platform)
add_dependencies(settings_handover_e2e_tests MirvaleSrv)
