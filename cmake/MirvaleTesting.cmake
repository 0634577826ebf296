# mirvale_add_test(<name> LABEL <unit|e2e|bench> SOURCES ... [LIBS ...] [SERIAL] [TIMEOUT s])
# Builds a GoogleTest executable and registers each of its tests with CTest under the label.
include(GoogleTest)
find_package(GTest REQUIRED)

# Tests include their own helpers as tests/...; production headers come only from the targets
# they link, as for any other dependant.
set(_test_tree ${CMAKE_BINARY_DIR}/include/mirvale_test_tree)
file(MAKE_DIRECTORY ${_test_tree})
file(CREATE_LINK ${CMAKE_SOURCE_DIR}/tests ${_test_tree}/tests SYMBOLIC)
add_library(mirvale_test_tree INTERFACE)
target_include_directories(mirvale_test_tree INTERFACE ${_test_tree})

function(mirvale_add_test name)
  cmake_parse_arguments(T "SERIAL" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} mirvale_test_tree GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    MIRVALE_SOURCE_DIR="${CMAKE_SOURCE_DIR}" MIRVALE_BINARY_DIR="${CMAKE_BINARY_DIR}")
  set(props LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT})
  if(T_SERIAL)
    list(APPEND props RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()

# mirvale_add_benchmark(<name> SOURCES ... [LIBS ...]): a Google Benchmark program, label bench.
function(mirvale_add_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} mirvale_test_tree benchmark::benchmark Threads::Threads)
  add_test(NAME ${name} COMMAND ${name} --benchmark_min_time=0.05)
  set_tests_properties(${name} PROPERTIES LABELS bench TIMEOUT 900)
endfunction()
