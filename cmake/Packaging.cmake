# Installation and the Debian package: both programs, the desktop entry, the
# icons of the hicolor theme, the MIME type of driver sources and the
# AppStream metadata.
include(GNUInstallDirs)

set(sf_app_id io.sysforge.Sysforge)
set(sf_data ${CMAKE_SOURCE_DIR}/data)

install(TARGETS sysforge-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
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

set(CPACK_PACKAGE_NAME sysforge)
set(CPACK_PACKAGE_VENDOR "Sysforge")
set(CPACK_PACKAGE_CONTACT "Sysforge developers <sysforge@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor for MIDI instrument drivers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# Debian's own Qt and RtMidi; the platform plugins come with qt6-qpa-plugins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6network6 (>= 6.4), qt6-qpa-plugins, librtmidi6, libc6, libstdc++6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, hicolor-icon-theme")
include(CPack)

# The desktop files must pass the freedesktop validators where they are installed.
if(SF_TESTS AND TARGET sysforge)
  add_test(NAME desktop.validate
           COMMAND ${CMAKE_SOURCE_DIR}/tests/desktop/validate.sh ${sf_data} ${CMAKE_BINARY_DIR})
endif()
