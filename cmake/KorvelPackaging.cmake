# Installation (the app, korvel-cli, the desktop entry, icons and the man
# page in their usual places under the prefix) and the Debian package made
# by `cpack -G DEB` in the build folder.
include(GNUInstallDirs)

install(TARGETS korvel korvel-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/korvel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/korvel-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME korvel.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/korvel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Man pages are installed compressed, as Debian has them.
set(KORVEL_MAN_PAGES)
foreach(page korvel korvel-cli)
    configure_file(${PROJECT_SOURCE_DIR}/resources/${page}.1 ${PROJECT_BINARY_DIR}/man/${page}.1 @ONLY)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/man/${page}.1.gz
                       COMMAND gzip -9 -n -f -k ${PROJECT_BINARY_DIR}/man/${page}.1
                       DEPENDS ${PROJECT_BINARY_DIR}/man/${page}.1)
    list(APPEND KORVEL_MAN_PAGES ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(korvel_man ALL DEPENDS ${KORVEL_MAN_PAGES})
install(FILES ${KORVEL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The licence, where Debian looks for it.
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/korvel)

# Whoever builds a package to hand on names themselves here.
set(KORVEL_MAINTAINER "The Korvel developers <korvel@localhost>" CACHE STRING
    "Maintainer of the Debian package, as \"Name <address>\"")
set(CPACK_PACKAGE_NAME korvel)
set(CPACK_PACKAGE_VENDOR "The Korvel developers")
set(CPACK_PACKAGE_CONTACT "${KORVEL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORVEL_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "player and analyser for software-defined-radio I/Q recordings")
set(CPACK_PACKAGE_DESCRIPTION
    "Korvel opens I/Q recordings written by software-defined-radio receivers, draws\n"
    "the whole recording as a waterfall and plays a selected time and frequency\n"
    "range in AM, SAM, FM, WFM, USB, LSB, CWU or CWL, or writes it to a WAV file.\n"
    "It also decodes DGPS beacons and measures medium-wave carriers. korvel-cli\n"
    "does the same from the command line.\n"
    "License: GPL-3.0-or-later.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY korvel)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
# The libraries' packages are found by dpkg-shlibdeps from the binaries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Plug-ins that Qt loads at run time are not seen by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pulseaudio")
include(CPack)
