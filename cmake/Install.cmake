# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts under the prefix:
#
#   lib/kestrelund/            the program folder: kestrelund, kestrelund-info, kestrelund-walk
#                              (the folder walk of kestrelund-info -r), HAND-M.CUR, drag.ico,
#                              and lame, a link to the system's encoder
#   bin/kestrelund             relative links into the program folder, so that the program,
#   bin/kestrelund-info        started through them, still finds its folder (the running
#                              executable's real location)
#   share/applications/        the desktop entry
#   share/icons/hicolor/       the application icon: scalable SVG and PNG sizes
#   share/metainfo/            the AppStream metainfo
#   share/man/man1/            the manual pages kestrelund.1.gz and kestrelund-info.1.gz
#   share/doc/kestrelund/      copyright (the licence, machine-readable) and changelog.gz
#
# Every file named after the application id carries the same id, so that desktops and software
# centres tie the entry, the icon and the metainfo together.

include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/Release.cmake)

# The reverse-DNS application id. It is all lower case, as AppStream prefers.
set(KESTRELUND_APP_ID "org.venmarrow.kestrelund")
# Where the project is published: the metainfo's home page, under which its screenshot lies at the
# same path as in this tree (docs/screenshot.png).
set(KESTRELUND_HOMEPAGE "https://venmarrow.invalid/kestrelund"
    CACHE STRING "The project's home page, named in the AppStream metainfo")
# The program folder is private to the program; it lies in lib/ on every architecture.
set(KESTRELUND_INSTALL_PROGRAM_DIR "lib/kestrelund")

# The encoder the installed lame link points at. The Debian package lame puts it in /usr/bin, so
# that is the fallback when the build machine has none.
find_program(KESTRELUND_LAME_PROGRAM lame)
if(KESTRELUND_LAME_PROGRAM)
  set(kestrelund_lame_default "${KESTRELUND_LAME_PROGRAM}")
else()
  set(kestrelund_lame_default "/usr/bin/lame")
endif()
set(KESTRELUND_INSTALL_LAME "${kestrelund_lame_default}"
    CACHE FILEPATH "Encoder that the installed program folder's lame link points at")

# kestrelund_install_link(LINK TARGET): at install time, make DESTDIR/PREFIX/LINK a symbolic link
# whose content is TARGET (relative targets stay relative). The link is listed in the install
# manifest like every installed file.
function(kestrelund_install_link link target)
  install(CODE "
    set(kestrelund_link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${link}\")
    get_filename_component(kestrelund_link_dir \"\${kestrelund_link}\" DIRECTORY)
    file(MAKE_DIRECTORY \"\${kestrelund_link_dir}\")
    message(STATUS \"Installing: \${kestrelund_link} -> ${target}\")
    file(CREATE_LINK \"${target}\" \"\${kestrelund_link}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${kestrelund_link}\")
  ")
endfunction()

# The program folder.
install(TARGETS kestrelund kestrelund-info kestrelund-walk RUNTIME DESTINATION ${KESTRELUND_INSTALL_PROGRAM_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/assets/HAND-M.CUR ${CMAKE_SOURCE_DIR}/assets/drag.ico
        DESTINATION ${KESTRELUND_INSTALL_PROGRAM_DIR})
kestrelund_install_link(${KESTRELUND_INSTALL_PROGRAM_DIR}/lame "${KESTRELUND_INSTALL_LAME}")

# The commands on the PATH.
foreach(program IN ITEMS kestrelund kestrelund-info)
  kestrelund_install_link(${CMAKE_INSTALL_BINDIR}/${program}
                          ../${KESTRELUND_INSTALL_PROGRAM_DIR}/${program})
endforeach()

# Desktop entry and AppStream metainfo; the metainfo carries the project's version.
set(kestrelund_desktop_dir ${CMAKE_BINARY_DIR}/desktop)
configure_file(${CMAKE_SOURCE_DIR}/assets/desktop/kestrelund.desktop.in
               ${kestrelund_desktop_dir}/${KESTRELUND_APP_ID}.desktop @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/assets/desktop/kestrelund.metainfo.xml.in
               ${kestrelund_desktop_dir}/${KESTRELUND_APP_ID}.metainfo.xml @ONLY)
install(FILES ${kestrelund_desktop_dir}/${KESTRELUND_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${kestrelund_desktop_dir}/${KESTRELUND_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The application icon, renamed to the application id.
set(kestrelund_icon_dir ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${CMAKE_SOURCE_DIR}/assets/icons/kestrelund.svg
        DESTINATION ${kestrelund_icon_dir}/scalable/apps RENAME ${KESTRELUND_APP_ID}.svg)
file(GLOB kestrelund_icon_sizes RELATIVE ${CMAKE_SOURCE_DIR}/assets/icons/hicolor
     ${CMAKE_SOURCE_DIR}/assets/icons/hicolor/*)
foreach(size IN LISTS kestrelund_icon_sizes)
  set(png ${CMAKE_SOURCE_DIR}/assets/icons/hicolor/${size}/apps/kestrelund.png)
  if(EXISTS ${png})
    install(FILES ${png} DESTINATION ${kestrelund_icon_dir}/${size}/apps
            RENAME ${KESTRELUND_APP_ID}.png)
  endif()
endforeach()

# The manual pages, written in scdoc (docs/man/*.1.scd): the version is filled in, scdoc renders
# them to roff dated by the changelog's newest entry, and gzip -9n compresses them without a
# time stamp, so that the same tree always gives the same bytes.
find_program(KESTRELUND_SCDOC scdoc REQUIRED)
find_program(KESTRELUND_GZIP gzip REQUIRED)
set(kestrelund_man_dir ${CMAKE_BINARY_DIR}/man)
set(kestrelund_docs)
foreach(page IN ITEMS kestrelund.1 kestrelund-info.1)
  configure_file(${CMAKE_SOURCE_DIR}/docs/man/${page}.scd ${kestrelund_man_dir}/${page}.scd @ONLY)
  add_custom_command(
    OUTPUT ${kestrelund_man_dir}/${page}.gz
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${KESTRELUND_RELEASE_EPOCH}
            sh -c "\"$0\" <\"$1\" >\"$2\"" ${KESTRELUND_SCDOC} ${kestrelund_man_dir}/${page}.scd
            ${kestrelund_man_dir}/${page}
    COMMAND ${KESTRELUND_GZIP} -9nf ${kestrelund_man_dir}/${page}
    DEPENDS ${kestrelund_man_dir}/${page}.scd
    COMMENT "Rendering the manual page ${page}"
    VERBATIM)
  list(APPEND kestrelund_docs ${kestrelund_man_dir}/${page}.gz)
endforeach()
install(FILES ${kestrelund_docs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The package's documents: the licence in Debian's machine-readable copyright format, and the
# changelog, compressed as Debian wants it.
set(kestrelund_doc_dir ${CMAKE_BINARY_DIR}/doc)
add_custom_command(
  OUTPUT ${kestrelund_doc_dir}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${kestrelund_doc_dir}
  COMMAND sh -c "\"$0\" -9n <\"$1\" >\"$2\"" ${KESTRELUND_GZIP} ${KESTRELUND_CHANGELOG}
          ${kestrelund_doc_dir}/changelog.gz
  DEPENDS ${KESTRELUND_CHANGELOG}
  COMMENT "Compressing the changelog"
  VERBATIM)
list(APPEND kestrelund_docs ${kestrelund_doc_dir}/changelog.gz)
add_custom_target(kestrelund_docs ALL DEPENDS ${kestrelund_docs})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${kestrelund_doc_dir}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrelund)
