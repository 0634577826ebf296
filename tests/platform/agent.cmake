mirvale_add_test(platform_agent_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ssh_agent_test.cpp
  LIBS mirvale_platform)
