mirvale_add_test(platform_service_control_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/service_control_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/notice_socket_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/systemd_control_test.cpp
  LIBS mirvale_platform)
