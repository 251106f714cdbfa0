# Source lists are globbed per folder so that a new file needs no list edit;
# CONFIGURE_DEPENDS re-runs the glob at build time.
function(korvel_glob out)
    set(files)
    foreach(dir IN LISTS ARGN)
        file(GLOB found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.cpp)
        list(APPEND files ${found})
    endforeach()
    set(${out} ${files} PARENT_SCOPE)
endfunction()

# korvel_layer(NAME [USES LAYER...] [LINKS TARGET...] [PRIVATE_LINKS TARGET...])
# One core library, korvel_NAME, from src/NAME (its headers in
# src/NAME/include/NAME). It may use the layers named after USES (each defined
# before it) and what they use in turn; the compiler finds no other layer's
# headers, and a test checks that its files include nothing else of the core,
# and nothing of Qt. PRIVATE_LINKS are libraries its headers do not expose.
function(korvel_layer name)
    cmake_parse_arguments(LAYER "" "" "USES;LINKS;PRIVATE_LINKS" ${ARGN})
    set(target korvel_${name})
    korvel_glob(sources src/${name})
    if(sources)
        add_library(${target} STATIC ${sources})
        set(scope PUBLIC)
    else()
        add_library(${target} INTERFACE)
        set(scope INTERFACE)
    endif()
    # Only this layer's public folder and, through the links below, those of
    # the layers it uses: a header of any other layer is not found.
    target_include_directories(${target} ${scope}
        $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src/${name}/include>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/korvel>)
    set(reachable ${name})
    foreach(used IN LISTS LAYER_USES)
        target_link_libraries(${target} ${scope} korvel_${used})
        get_property(below GLOBAL PROPERTY KORVEL_LAYER_REACHES_${used})
        list(APPEND reachable ${below})
    endforeach()
    target_link_libraries(${target} ${scope} ${LAYER_LINKS})
    if(LAYER_PRIVATE_LINKS)
        target_link_libraries(${target} PRIVATE ${LAYER_PRIVATE_LINKS})
    endif()
    list(REMOVE_DUPLICATES reachable)
    set_property(GLOBAL PROPERTY KORVEL_LAYER_REACHES_${name} ${reachable})
    set_property(GLOBAL APPEND PROPERTY KORVEL_LAYERS ${name})
    add_library(Korvel::${name} ALIAS ${target})
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${name})
    if(KORVEL_INSTALL)
        install(TARGETS ${target} EXPORT KorvelTargets
                ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
        install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/${name}/include/${name}
                DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvel COMPONENT dev)
    endif()
endfunction()

# The core as a CMake package: find_package(Korvel) gives Korvel::<layer> and
# Korvel::core, as add_subdirectory() does. Installed as the "dev" component.
function(korvel_install_package)
    set(dir ${CMAKE_INSTALL_LIBDIR}/cmake/Korvel)
    install(EXPORT KorvelTargets NAMESPACE Korvel:: DESTINATION ${dir} COMPONENT dev)
    include(CMakePackageConfigHelpers)
    configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KorvelConfig.cmake.in
        ${PROJECT_BINARY_DIR}/KorvelConfig.cmake INSTALL_DESTINATION ${dir})
    write_basic_package_version_file(${PROJECT_BINARY_DIR}/KorvelConfigVersion.cmake
        COMPATIBILITY SameMinorVersion)
    install(FILES ${PROJECT_BINARY_DIR}/KorvelConfig.cmake ${PROJECT_BINARY_DIR}/KorvelConfigVersion.cmake
            DESTINATION ${dir} COMPONENT dev)
endfunction()

# Registers the layering check of every core library with CTest.
function(korvel_layer_checks)
    get_property(layers GLOBAL PROPERTY KORVEL_LAYERS)
    foreach(name IN LISTS layers)
        get_property(reachable GLOBAL PROPERTY KORVEL_LAYER_REACHES_${name})
        string(REPLACE ";" "," reachable "${reachable}")
        string(REPLACE ";" "," all "${layers}")
        add_test(NAME CoreLayering.${name}
                 COMMAND ${CMAKE_COMMAND} -DLAYER=${name} -DREACHES=${reachable} -DLAYERS=${all}
                         -DSOURCE_DIR=${PROJECT_SOURCE_DIR}/src -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayer.cmake)
        set_tests_properties(CoreLayering.${name} PROPERTIES LABELS layering)
    endforeach()
endfunction()

# One GoogleTest executable per test folder, registered with CTest test by test.
function(korvel_test_folder name dir)
    korvel_glob(sources ${dir})
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARGN})
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS ${name})
endfunction()
