# mirvale_folder_library(<target> [LIBS ...]): one static library made of every .cpp in the
# calling folder (not its subfolders), so new files join the target without editing this list.
# With no sources yet it is an interface library, so dependants link either way.
function(mirvale_folder_library target)
  cmake_parse_arguments(L "" "" "LIBS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  foreach(excluded ${L_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${L_LIBS} Threads::Threads)
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${L_LIBS} Threads::Threads)
  endif()
endfunction()

# Includes every *.cmake fragment of the calling folder: each group of tests keeps its own
# fragment so that parallel work does not contend for one list.
macro(mirvale_include_fragments)
  file(GLOB _fragments CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cmake)
  list(SORT _fragments)
  foreach(_fragment ${_fragments})
    include(${_fragment})
  endforeach()
endmacro()
