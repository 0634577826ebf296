# The desktop shell's widget-free rules, its notice listener, and its widgets (offscreen).
mirvale_add_test(desktop_shell_unit_tests LABEL unit
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/shell_logic_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/notice_listener_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shell_widgets_test.cpp
  LIBS mirvale_desktop_shell Qt6::Test)
