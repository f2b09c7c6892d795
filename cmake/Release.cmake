# SPDX-License-Identifier: GPL-3.0-or-later
# The release this tree builds, read from the changelog that the Debian package ships
# (packaging/changelog, Debian's format; its newest entry is at the top):
#
#   KESTRELUND_RELEASE_DATE    the newest entry's date as YYYY-MM-DD (the metainfo's release)
#   KESTRELUND_RELEASE_EPOCH   the same moment in seconds since 1970 (the manual pages' date)
#
# The version itself is the project's; configuring fails when the changelog's newest entry names
# another, so that the package, the probe's --version, the metainfo and the changelog agree.

set(KESTRELUND_CHANGELOG ${CMAKE_SOURCE_DIR}/packaging/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KESTRELUND_CHANGELOG})
file(STRINGS ${KESTRELUND_CHANGELOG} kestrelund_changelog_head LIMIT_COUNT 1)
if(NOT kestrelund_changelog_head MATCHES "^kestrelund \\(([^)]+)\\) ")
  message(FATAL_ERROR "packaging/changelog does not start with a kestrelund entry")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog's newest entry is version ${CMAKE_MATCH_1}, "
                      "the project is ${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION}")
endif()

# The first trailer line (" -- Name <address>  Day, DD Mon YYYY HH:MM:SS +ZZZZ") dates the entry.
file(STRINGS ${KESTRELUND_CHANGELOG} kestrelund_changelog_trailer REGEX "^ -- " LIMIT_COUNT 1)
if(NOT kestrelund_changelog_trailer MATCHES "^ -- .*>  (.+)$")
  message(FATAL_ERROR "packaging/changelog's newest entry has no trailer line")
endif()
set(kestrelund_changelog_date "${CMAKE_MATCH_1}")
foreach(format IN ITEMS DATE EPOCH)
  if(format STREQUAL DATE)
    set(pattern +%F)
  else()
    set(pattern +%s)
  endif()
  execute_process(COMMAND date -u -d "${kestrelund_changelog_date}" ${pattern}
                  OUTPUT_VARIABLE KESTRELUND_RELEASE_${format} OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "packaging/changelog: cannot read the date '${kestrelund_changelog_date}'")
  endif()
endforeach()
