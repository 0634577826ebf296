# E-mail, run-program, text-export and database-export actions.
mirvale_add_test(email_unit_tests LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/email_message_test.cpp
  LIBS mirvale_service)
mirvale_add_test(email_e2e_tests LABEL e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/email_delivery_test.cpp
  LIBS mirvale_service)
