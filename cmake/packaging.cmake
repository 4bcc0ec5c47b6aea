# Installation and packages: a Debian package on Linux, a .zip for Windows
# (run cpack in the build folders, build-ci or build-ci/windows). Paths are
# the source folder's, as this file is included from the top.
set(TRB2CSV_MAINTAINER "trb2csv developers <trb2csv@example.org>")
set(CPACK_PACKAGE_NAME trb2csv)
set(CPACK_PACKAGE_VENDOR "trb2csv developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert track-tail files to CSV lines of latitude and longitude")
set(CPACK_PACKAGE_DESCRIPTION
    "trb2csv reads ceTrackTail.trb, the track-tail file of a track-recording\napplication, and writes the track as CSV lines of latitude, longitude and\npoint number, exact to the byte.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/package_permissions.cmake)
if(WIN32)
  # One folder, trb2csv-VERSION-win64, that works as unpacked: a double click
  # on trb2csv.exe converts the sample beside it. Its text files have CR LF
  # line ends; the README is the short one for Windows.
  foreach(text doc/README-windows.txt:README.txt LICENSE:LICENSE.txt)
    string(REPLACE ":" ";" text ${text})
    list(GET text 0 source)
    list(GET text 1 target)
    file(READ ${source} content)
    string(REPLACE "\n" "\r\n" content "${content}")
    file(WRITE ${CMAKE_BINARY_DIR}/${target} "${content}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  endforeach()
  install(TARGETS trb2csv RUNTIME DESTINATION .)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt ${CMAKE_BINARY_DIR}/LICENSE.txt
          examples/ceTrackTail.trb DESTINATION .)
  if(TRB2CSV_PAGE_FILE)
    install(FILES ${TRB2CSV_PAGE_FILE} DESTINATION .)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  include(GNUInstallDirs)
  set(examples examples/ceTrackTail.trb examples/sample-track.png)
  configure_file(doc/changelog.in changelog @ONLY)
  # The default preset builds compressed_docs beside trb2csv, so that an
  # install after it finds the manual pages.
  add_custom_command(
    OUTPUT trb2csv.1.gz trb2csv-plot.1.gz changelog.gz
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/doc/trb2csv.1 > trb2csv.1.gz
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/doc/trb2csv-plot.1 > trb2csv-plot.1.gz
    COMMAND gzip -9n -c changelog > changelog.gz
    DEPENDS doc/trb2csv.1 doc/trb2csv-plot.1 ${CMAKE_BINARY_DIR}/changelog)
  add_custom_target(compressed_docs ALL DEPENDS trb2csv.1.gz trb2csv-plot.1.gz changelog.gz)
  install(TARGETS trb2csv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(PROGRAMS tools/plot_track.sh DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME trb2csv-plot)
  install(FILES ${CMAKE_BINARY_DIR}/trb2csv.1.gz ${CMAKE_BINARY_DIR}/trb2csv-plot.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md doc/copyright ${CMAKE_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${examples} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  install(FILES doc/web-page.png doc/web-page-phone.png  # shown by the README
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/doc)
  if(TRB2CSV_PAGE_FILE)
    install(FILES ${TRB2CSV_PAGE_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/trb2csv)
  endif()
  install(FILES doc/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
          RENAME trb2csv)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TRB2CSV_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS gnuplot-nox)  # trb2csv-plot
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS gpsbabel)  # the map recipe
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
include(CPack)
