# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cpack -G DEB` in the build folder writes kestrelund_<version>_<arch>.deb
# there. It holds what `cmake --install` installs, under /usr.

set(KESTRELUND_PACKAGE_MAINTAINER "Venmarrow <kestrelund@venmarrow.invalid>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_PACKAGE_NAME "kestrelund")
set(CPACK_PACKAGE_VENDOR "Venmarrow")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${KESTRELUND_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "makes MP3 files smaller")
# Debian wants the long description in lines of at most 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Kestrelund re-encodes MP3 files at a lower constant bitrate with the LAME\n"
  "encoder. Build a list of MP3 files (by dialog, a whole folder tree, or by\n"
  "dropping them onto the list), see each file's current bitrate, pick a target\n"
  "between 8 and 320 kbps and press Reduce. Each new file is written beside its\n"
  "source; the sources are never changed.\n"
  ".\n"
  "The package also holds kestrelund-info, which prints the same MP3 analysis\n"
  "for scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR "DEB")

set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KESTRELUND_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The libraries the programs link (libc, libstdc++, Qt 6 Core, Gui and Widgets) come from
# dpkg-shlibdeps; the encoder and Qt's X11 platform plugin are needed at run time but not linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "lame, qt6-qpa-plugins")
# The window asks for Arial, which fontconfig resolves to Liberation Sans; Qt's Wayland plugin lets
# it run natively on a Wayland desktop.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, qt6-wayland")

# Whatever encoder the build machine found, the packaged lame link names the one the Debian
# package lame provides, /usr/bin/lame, by a relative path within the package's tree (Debian
# wants links between top-level folders relative). The programs lose the sections that the
# stripping of the install step leaves and Debian's packages do not carry.
set(kestrelund_package_fixup ${CMAKE_BINARY_DIR}/cpack/PackageLameLink.cmake)
file(
  WRITE ${kestrelund_package_fixup}
  "# Written by cmake/Package.cmake: points the packaged encoder link at /usr/bin/lame and strips
# the compiler's notes from the packaged programs.
file(GLOB_RECURSE kestrelund_links LIST_DIRECTORIES false
     \"\${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/${KESTRELUND_INSTALL_PROGRAM_DIR}/lame\")
foreach(link IN LISTS kestrelund_links)
  file(CREATE_LINK ../../bin/lame \"\${link}\" SYMBOLIC)
endforeach()
# Stripped as Debian strips: without the compiler's notes either.
file(GLOB_RECURSE kestrelund_programs LIST_DIRECTORIES false
     \"\${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/${KESTRELUND_INSTALL_PROGRAM_DIR}/kestrelund\"
     \"\${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/${KESTRELUND_INSTALL_PROGRAM_DIR}/kestrelund-info\"
     \"\${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/${KESTRELUND_INSTALL_PROGRAM_DIR}/kestrelund-walk\")
foreach(program IN LISTS kestrelund_programs)
  execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                          \"\${program}\" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
")
set(CPACK_PRE_BUILD_SCRIPTS ${kestrelund_package_fixup})

set(CPACK_SOURCE_GENERATOR "TGZ")
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/\\\\.cache/")

include(CPack)
