# The install step (scripts/install.sh): both programs in a program folder of their own, runnable
# from there, and nothing left in the build folder.
mirvale_add_test(install_tests LABEL e2e
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/install_test.cpp
  LIBS mirvale_platform)
add_dependencies(install_tests MirvaleSrv)
set(installed_programs MirvaleSrv)
if(TARGET Mirvale)
  add_dependencies(install_tests Mirvale)
  list(APPEND installed_programs Mirvale)
endif()
list(JOIN installed_programs "," installed_programs)
target_compile_definitions(install_tests PRIVATE INSTALLED_PROGRAMS="${installed_programs}")
