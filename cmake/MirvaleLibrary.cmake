# mirvale_folder_library(<target> [LIBS ...] [EXCLUDE ...] [PRIVATE_HEADERS ...] [FOLDERS ...]):
# one static library made of every .cpp in the calling folder and in the FOLDERS named (its
# other subfolders are targets of their own), so new files join the target without editing
# this list. With no sources yet it is an interface library, so
# dependants link either way.
#
# Dependants see only the headers of the targets they link: each target stages its folder's
# headers (symbolic links, under their tree path such as remoteshell/net/network.h) in a folder
# of its own in the build tree and offers that folder, never the whole source tree. An include
# that breaks the one-way order of the folders therefore fails to compile. PRIVATE_HEADERS are
# staged for the folder's own sources (and for tests through <target>_internals) only.
function(mirvale_stage_headers staged folder)
  file(REMOVE_RECURSE ${staged})
  file(MAKE_DIRECTORY ${staged}/${folder})
  foreach(header ${ARGN})
    file(RELATIVE_PATH path ${CMAKE_SOURCE_DIR} ${header})
    get_filename_component(parent ${staged}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${header} ${staged}/${path} SYMBOLIC)
  endforeach()
endfunction()

function(mirvale_folder_library target)
  cmake_parse_arguments(L "" "" "LIBS;EXCLUDE;PRIVATE_HEADERS;FOLDERS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(sub ${L_FOLDERS})
    file(GLOB sub_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp)
    file(GLOB sub_headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.h)
    list(APPEND sources ${sub_sources})
    list(APPEND headers ${sub_headers})
  endforeach()
  foreach(excluded ${L_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  set(private_headers)
  foreach(name ${L_PRIVATE_HEADERS})
    list(REMOVE_ITEM headers ${CMAKE_CURRENT_SOURCE_DIR}/${name})
    list(APPEND private_headers ${CMAKE_CURRENT_SOURCE_DIR}/${name})
  endforeach()
  file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(public_dir ${CMAKE_BINARY_DIR}/include/${target})
  set(private_dir ${CMAKE_BINARY_DIR}/include-private/${target})
  mirvale_stage_headers(${public_dir} ${folder} ${headers})
  mirvale_stage_headers(${private_dir} ${folder} ${private_headers})
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${public_dir} PRIVATE ${private_dir})
    target_link_libraries(${target} PUBLIC ${L_LIBS} Threads::Threads)
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${public_dir})
    target_link_libraries(${target} INTERFACE ${L_LIBS} Threads::Threads)
  endif()
  if(private_headers)
    add_library(${target}_internals INTERFACE)
    target_include_directories(${target}_internals INTERFACE ${private_dir})
    target_link_libraries(${target}_internals INTERFACE ${target})
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
