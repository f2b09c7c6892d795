# SPDX-License-Identifier: GPL-3.0-or-later
# kestrelund_include_root(TARGET FOLDER): TARGET offers the headers of src/FOLDER as
# "FOLDER/Name.h" through an include root of its own that holds only that folder (a link to it in
# the build tree). A library so sees its own headers and those of the libraries it links, and an
# include of any other subsystem fails to build.
function(kestrelund_include_root target folder)
  set(root ${CMAKE_BINARY_DIR}/include-roots/${folder})
  file(MAKE_DIRECTORY ${root})
  if(NOT IS_SYMLINK ${root}/${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
