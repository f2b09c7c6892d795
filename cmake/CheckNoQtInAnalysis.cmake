# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a file of the analysis library includes a Qt header: the analysis stays plain C++.
file(GLOB_RECURSE files ${SOURCE_DIR}/src/analysis/*.h ${SOURCE_DIR}/src/analysis/*.cpp)
foreach(f ${files})
  file(STRINGS ${f} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]Q")
  if(hits)
    message(FATAL_ERROR "${f} includes Qt: ${hits}")
  endif()
endforeach()
