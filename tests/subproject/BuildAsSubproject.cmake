cmake_minimum_required(VERSION 3.25)
# Configures, builds and runs tests/subproject/host, which adds the Korvel
# source tree with add_subdirectory().
#   cmake -DKORVEL_SOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=... -P BuildAsSubproject.cmake
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -S ${KORVEL_SOURCE_DIR}/tests/subproject/host -B ${WORK_DIR}
                        -G ${GENERATOR} -DKORVEL_SOURCE_DIR=${KORVEL_SOURCE_DIR}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "configuring a project that adds Korvel as a subdirectory failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR} --target host RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "building against Korvel::recording as a subproject failed")
endif()
execute_process(COMMAND ${WORK_DIR}/host RESULT_VARIABLE status OUTPUT_VARIABLE out)
if(NOT status EQUAL 0 OR NOT out STREQUAL "refused\n")
    message(FATAL_ERROR "the host program did not run as expected: ${out}")
endif()
