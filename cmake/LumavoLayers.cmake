# Each library's headers are reachable only through the library itself: its
# folder is published under an include folder of its own in the build tree,
#   <build>/include/<folder>/<folder> -> <source>/<folder>
# so that #include "imaging/PhotoImage.h" resolves only for targets that link
# lumavo_imaging (directly, or through a library that links it PUBLIC).
# On POSIX the folder is a link to the source folder; where links cannot be
# made (Windows without the right to make them), the headers are copied
# before each build of the target.
function(lumavo_publish_headers target folder)
  set(root "${CMAKE_BINARY_DIR}/include/${folder}")
  set(source "${PROJECT_SOURCE_DIR}/${folder}")
  file(MAKE_DIRECTORY "${root}")
  set(linked FALSE)
  if(IS_SYMLINK "${root}/${folder}")
    set(linked TRUE)
  elseif(NOT EXISTS "${root}/${folder}")
    file(CREATE_LINK "${source}" "${root}/${folder}" RESULT failure SYMBOLIC)
    if(NOT failure)
      set(linked TRUE)
    endif()
  endif()
  if(NOT linked)
    file(GLOB_RECURSE headers CONFIGURE_DEPENDS RELATIVE "${source}" "${source}/*.h")
    set(copies "")
    foreach(header IN LISTS headers)
      list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different "${source}/${header}" "${root}/${folder}/${header}")
    endforeach()
    add_custom_target(${target}_headers ${copies} VERBATIM)
    add_dependencies(${target} ${target}_headers)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    target_include_directories(${target} PRIVATE "${root}")
  else()
    target_include_directories(${target} PUBLIC "${root}")
  endif()
endfunction()
