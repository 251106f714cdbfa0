cmake_minimum_required(VERSION 3.25)
# Builds the Debian packages with CPack into WORK_DIR, unpacks korvel into an
# empty root there and checks what it holds: its computed dependencies, that
# the packaged korvel-cli runs, and that the desktop entry is valid; and that
# korvel-dev holds the core's headers, libraries and CMake package.
#   cmake -DBUILD_DIR=build -DWORK_DIR=build/package-test -DVERSION=0.1.0 -P PackageInstall.cmake
# Prints "PACKAGE TEST SKIPPED" (and CTest marks the test skipped) when the
# Debian tools are missing.
foreach(tool dpkg-deb dpkg-shlibdeps desktop-file-validate)
    find_program(found_${tool} ${tool})
    if(NOT found_${tool})
        message("PACKAGE TEST SKIPPED: ${tool} is missing (scripts/install-deps.sh installs it)")
        return()
    endif()
endforeach()

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${ARGN}\nfailed (${status}):\n${out}\n${err}")
    endif()
    set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/root)
run(${CMAKE_CPACK_COMMAND} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR})
file(GLOB packages ${WORK_DIR}/korvel_*.deb)
list(LENGTH packages count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one korvel_*.deb in ${WORK_DIR}, found: ${packages}")
endif()

run(dpkg-deb --field ${packages} Package Version Depends)
message("${out}")
foreach(library libqt6widgets6 libqt6network6 libqt6multimedia6 libfftw3-single3 libpng16-16 libc6)
    if(NOT out MATCHES "${library}")
        message(FATAL_ERROR "the package's dependencies lack ${library}")
    endif()
endforeach()
if(NOT out MATCHES "Version: ${VERSION}")
    message(FATAL_ERROR "the package's version is not ${VERSION}")
endif()

run(dpkg-deb -I ${packages})
if(NOT out MATCHES "License: GPL-3.0-or-later")
    message(FATAL_ERROR "the package does not name its licence:\n${out}")
endif()

run(dpkg-deb -x ${packages} ${WORK_DIR}/root)
set(root ${WORK_DIR}/root)
foreach(file usr/bin/korvel usr/bin/korvel-cli usr/share/applications/korvel.desktop
        usr/share/icons/hicolor/48x48/apps/korvel.png usr/share/icons/hicolor/256x256/apps/korvel.png
        usr/share/icons/hicolor/scalable/apps/korvel.svg usr/share/man/man1/korvel-cli.1.gz
        usr/share/man/man1/korvel.1.gz usr/share/doc/korvel/copyright)
    if(NOT EXISTS ${root}/${file})
        message(FATAL_ERROR "the package lacks /${file}")
    endif()
endforeach()

run(${root}/usr/bin/korvel-cli --version)
if(NOT out STREQUAL "korvel-cli ${VERSION}\n")
    message(FATAL_ERROR "the packaged korvel-cli --version printed: ${out}")
endif()
message("korvel-cli --version from the package: ${out}")
run(desktop-file-validate ${root}/usr/share/applications/korvel.desktop)
if(EXISTS ${root}/usr/include OR EXISTS ${root}/usr/lib)
    message(FATAL_ERROR "the korvel package holds the core's headers or libraries; they belong in korvel-dev")
endif()

file(GLOB dev_packages ${WORK_DIR}/korvel-dev_*.deb)
list(LENGTH dev_packages count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one korvel-dev_*.deb in ${WORK_DIR}, found: ${dev_packages}")
endif()
run(dpkg-deb --field ${dev_packages} Depends)
if(NOT out MATCHES "libfftw3-dev" OR NOT out MATCHES "libgeographiclib-dev")
    message(FATAL_ERROR "korvel-dev does not depend on what its libraries link: ${out}")
endif()
run(dpkg-deb -x ${dev_packages} ${WORK_DIR}/dev-root)
file(GLOB_RECURSE config ${WORK_DIR}/dev-root/usr/lib/*/KorvelConfig.cmake)
file(GLOB_RECURSE library ${WORK_DIR}/dev-root/usr/lib/*libkorvel_dsp.a)
if(NOT config OR NOT library OR NOT EXISTS ${WORK_DIR}/dev-root/usr/include/korvel/dsp/FftObject.h)
    message(FATAL_ERROR "korvel-dev lacks the CMake package, the libraries or the headers")
endif()
