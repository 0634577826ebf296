# The real service against what an operator or a full disk can do to its files (makes an
# account, mounts a small file system in a namespace of its own).
mirvale_add_test(stored_files_e2e_tests LABEL e2e SERIAL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/stored_files_service_test.cpp
  LIBS mirvale_service)
add_dependencies(stored_files_e2e_tests MirvaleSrv)
