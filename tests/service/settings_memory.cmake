# The real service's memory with a settings file at every record cap.
mirvale_add_test(settings_memory_e2e_tests LABEL e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_memory_service_test.cpp
  LIBS mirvale_common mirvale_platform)
add_dependencies(settings_memory_e2e_tests MirvaleSrv)
