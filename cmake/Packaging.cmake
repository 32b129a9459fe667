# Installation and the Debian package: both programs with their manual
# pages, the desktop entry, the icons of the hicolor theme, the MIME type of
# driver sources, the AppStream metadata, the copyright file and the
# changelog.
include(GNUInstallDirs)

set(sf_app_id io.sysforge.Sysforge)
set(sf_data ${CMAKE_SOURCE_DIR}/data)

install(TARGETS sysforge-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET sysforge-midi)
  install(TARGETS sysforge-midi LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/sysforge)
endif()
if(TARGET sysforge)
  install(TARGETS sysforge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${sf_data}/${sf_app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${sf_data}/${sf_app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${sf_data}/${sf_app_id}.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME ${sf_app_id}.xml)
  foreach(size 48 128 256)
    install(FILES ${sf_data}/icons/sysforge-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${sf_app_id}.png)
  endforeach()
  install(FILES ${sf_data}/icons/sysforge.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${sf_app_id}.svg)
endif()

# The manual page of sysforge-cli is printed by the tool itself from the
# texts of its --help; the pages and the changelog are installed compressed,
# as Debian has them.
set(SF_PACKAGE_MAINTAINER "Sysforge developers <maintainers@sysforge.io>"
    CACHE STRING "Maintainer field of the Debian package and its changelog: NAME <ADDRESS>")
set(sf_docs ${CMAKE_BINARY_DIR}/docs)
configure_file(${sf_data}/changelog.in ${sf_docs}/changelog @ONLY)
add_custom_command(
  OUTPUT ${sf_docs}/sysforge-cli.1.gz ${sf_docs}/sysforge.1.gz ${sf_docs}/changelog.gz
  COMMAND sh -c "\"$1\" --manual-page | gzip -9n > \"$2/sysforge-cli.1.gz\"" sh
          $<TARGET_FILE:sysforge-cli> ${sf_docs}
  COMMAND sh -c "gzip -9n < \"$1\" > \"$2/sysforge.1.gz\"" sh ${sf_data}/sysforge.1 ${sf_docs}
  COMMAND sh -c "gzip -9n < \"$1/changelog\" > \"$1/changelog.gz\"" sh ${sf_docs}
  DEPENDS sysforge-cli ${sf_data}/sysforge.1 ${sf_docs}/changelog
  VERBATIM)
add_custom_target(sf_docs ALL DEPENDS ${sf_docs}/sysforge-cli.1.gz ${sf_docs}/sysforge.1.gz
                                      ${sf_docs}/changelog.gz)
install(FILES ${sf_docs}/sysforge-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET sysforge)
  install(FILES ${sf_docs}/sysforge.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${sf_data}/copyright ${sf_docs}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME sysforge)
set(CPACK_PACKAGE_VENDOR "Sysforge")
set(CPACK_PACKAGE_CONTACT "${SF_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SF_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor for MIDI instrument drivers")
set(CPACK_PACKAGE_DESCRIPTION
    "Sysforge writes the drivers that let a sequencer's patch librarian talk to
MIDI instruments: how an instrument is identified in System Exclusive
messages, how its memory is divided into modules, banks and sub-banks, how
bulk dumps are requested, received, cut into patches and checksummed, and
how single patches are sent back.

The desktop editor shows a driver source as a tree of settings with undo,
a filter and drag and drop between drivers, and writes the compiled driver
at every save. It searches a library of drivers, generates list drivers,
checks and compares drivers, captures MIDI bulk dumps into a hex view and
converts between the number notations of SysEx work. The command-line tool
sysforge-cli does the same work on driver sources in scripts.")
# Installed binaries are stripped in the package, as Debian wants them.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# Debian's own Qt and RtMidi; the platform plugins come with qt6-qpa-plugins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), qt6-qpa-plugins, librtmidi6, libjack-jackd2-0 | libjack0, libc6, libstdc++6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, hicolor-icon-theme")
include(CPack)

# The desktop files must pass the freedesktop validators where they are installed.
if(SF_TESTS AND TARGET sysforge)
  add_test(NAME desktop.validate
           COMMAND ${CMAKE_SOURCE_DIR}/tests/desktop/validate.sh ${sf_data} ${CMAKE_BINARY_DIR})
endif()

# The package must pass lintian without an error or a warning (skipped where
# lintian is not installed, and for the sanitizer builds, which are not
# packaged).
if(SF_TESTS AND NOT SF_SANITIZE)
  add_test(NAME package.lintian COMMAND ${CMAKE_SOURCE_DIR}/tests/package/lintian.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(package.lintian PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
