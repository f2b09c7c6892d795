# SPDX-License-Identifier: GPL-3.0-or-later
# Fails unless every test of the build in BUILD_DIR has a time limit (the TIMEOUT property), so
# that a test that hangs fails in seconds rather than holding the whole run.
execute_process(COMMAND ${CTEST_COMMAND} --test-dir ${BUILD_DIR} --show-only=json-v1
                OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "ctest could not list the tests")
endif()
string(JSON count LENGTH "${listing}" tests)
set(unlimited)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  string(JSON name GET "${listing}" tests ${i} name)
  string(JSON properties ERROR_VARIABLE none GET "${listing}" tests ${i} properties)
  if(NOT properties MATCHES "\"name\" *: *\"TIMEOUT\"")
    list(APPEND unlimited ${name})
  endif()
endforeach()
if(unlimited)
  message(FATAL_ERROR "tests without a time limit (TIMEOUT): ${unlimited}")
endif()
