# The package installation against a fake machine (tests/tools/install_deps_test.sh).
set(_install_deps_checks
  "LeavesTheServicesTheMachineHadAsTheyWere=services"
  "TheRunTimeListHoldsNoTestPeer=run-list")
foreach(_check ${_install_deps_checks})
  string(REPLACE "=" ";" _check ${_check})
  list(GET _check 0 _name)
  list(GET _check 1 _case)
  add_test(NAME InstallDeps.${_name}
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/install_deps_test.sh ${CMAKE_SOURCE_DIR} ${_case})
  set_tests_properties(InstallDeps.${_name} PROPERTIES LABELS unit TIMEOUT 120)
endforeach()
