# Installation under the prefix (programs, desktop entry, icon, AppStream metainfo, the
# command line's manual page) and the Debian package built by cpack.
include(GNUInstallDirs)

set(KIRVANO_APP_ID org.kirvano.Kirvano)
set(dist ${CMAKE_SOURCE_DIR}/dist)

install(TARGETS kirvano-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# frame and make-card: kirvano-cli runs this program from its own folder.
if(TARGET kirvano-cli-media)
    install(TARGETS kirvano-cli-media RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
configure_file(${dist}/kirvano-cli.1 ${CMAKE_BINARY_DIR}/dist/kirvano-cli.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/dist/kirvano-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(TARGET kirvano)
    install(TARGETS kirvano RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${dist}/${KIRVANO_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${dist}/${KIRVANO_APP_ID}.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    configure_file(${dist}/${KIRVANO_APP_ID}.metainfo.xml
                   ${CMAKE_BINARY_DIR}/dist/${KIRVANO_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/dist/${KIRVANO_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kirvano)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kirvano developers <kirvano@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Viewer for dash camera recordings")
set(CPACK_PACKAGE_DESCRIPTION
    "Kirvano lists the recordings on a dash camera's SD card, plays the front and rear\n\
camera together and shows the map position, speed, time, G-sensor curves and event\n\
marks in step with the picture. kirvano-cli offers the same core on the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the programs load at run time rather than link: the media plug-ins that read MOV
# and decode H.264, the Japanese interface font, and the map component's helper program.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-libav, \
libqt6webenginecore6-bin, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
