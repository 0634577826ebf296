# The results views' widget-free rules, the rows their dialogs keep, and the list export.
mirvale_add_test(desktop_results_unit_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/result_logic_test.cpp ${CMAKE_CURRENT_LIST_DIR}/result_rows_test.cpp
  LIBS mirvale_desktop_results)
