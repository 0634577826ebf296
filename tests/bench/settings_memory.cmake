# The real service's peak memory while it takes over a hostile and a large valid settings file.
mirvale_add_benchmark(settings_memory_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_memory_bench.cpp
  LIBS mirvale_common mirvale_platform)
add_dependencies(settings_memory_bench MirvaleSrv)
target_compile_definitions(settings_memory_bench PRIVATE
  MIRVALE_SOURCE_DIR="${CMAKE_SOURCE_DIR}" MIRVALE_BINARY_DIR="${CMAKE_BINARY_DIR}")
