# Source lists are globbed per folder so that a new file needs no list edit;
# CONFIGURE_DEPENDS re-runs the glob at build time.
function(korvel_glob out)
    set(files)
    foreach(dir IN LISTS ARGN)
        file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
        list(APPEND files ${found})
    endforeach()
    set(${out} ${files} PARENT_SCOPE)
endfunction()

# One GoogleTest executable per test folder, registered with CTest test by test.
function(korvel_test_folder name dir)
    korvel_glob(sources ${dir})
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARGN})
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS ${name})
endfunction()
