# The animated picture control: GIF block walk, frame composition, drawing thread.
mirvale_add_test(desktop_animated_picture_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/animated_picture_test.cpp
  LIBS mirvale_desktop_shell Qt6::Test)
