# Installation (the app, korvel-cli, the desktop entry, icons and the man
# page in their usual places under the prefix: the "app" component) and the
# Debian packages made by `cpack -G DEB` in the build folder: korvel from the
# "app" component, korvel-dev from the core's "dev" component (static
# libraries, headers, the CMake package).
include(GNUInstallDirs)

install(TARGETS korvel korvel-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT app)
install(FILES ${PROJECT_SOURCE_DIR}/resources/korvel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT app)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/korvel-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME korvel.png COMPONENT app)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/korvel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT app)

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
install(FILES ${KORVEL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT app)

# The licence, where Debian looks for it.
foreach(component app dev)
    set(package korvel)
    if(component STREQUAL "dev")
        set(package korvel-dev)
    endif()
    install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package}
            COMPONENT ${component})
endforeach()

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
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL app dev)
set(CPACK_DEBIAN_APP_PACKAGE_NAME korvel)
set(CPACK_DEBIAN_APP_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_APP_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
# The libraries' packages are found by dpkg-shlibdeps from the binaries.
set(CPACK_DEBIAN_APP_PACKAGE_SHLIBDEPS ON)
# Plug-ins that Qt loads at run time are not seen by dpkg-shlibdeps.
set(CPACK_DEBIAN_APP_PACKAGE_RECOMMENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_APP_PACKAGE_SUGGESTS "pulseaudio")
# The core for other programs: static libraries, so what they link comes as
# the development packages KorvelConfig.cmake looks for.
set(CPACK_DEBIAN_DEV_PACKAGE_NAME korvel-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libfftw3-dev, libgeographiclib-dev, nlohmann-json3-dev, pkg-config, cmake (>= 3.25)")
set(CPACK_DEBIAN_DEV_DESCRIPTION
    "The Qt-free core of Korvel (recordings, DSP, waterfall, demodulation,\n"
    "DGPS and carrier analysis) as static libraries with their headers under\n"
    "include/korvel and a CMake package: find_package(Korvel) gives\n"
    "Korvel::recording, Korvel::dsp and the other layers, for other programs.\n"
    "License: GPL-3.0-or-later.")
string(REPLACE ";" "" CPACK_DEBIAN_DEV_DESCRIPTION "${CPACK_DEBIAN_DEV_DESCRIPTION}")
include(CPack)
