add_executable(remoteshell_probe ${CMAKE_CURRENT_LIST_DIR}/probe/remoteshell_probe.cpp)
target_link_libraries(remoteshell_probe PRIVATE mirvale_remoteshell mirvale_test_tree)

mirvale_add_test(remoteshell_probe_tests LABEL e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/probe_test.cpp
  LIBS mirvale_platform)
add_dependencies(remoteshell_probe_tests remoteshell_probe)
