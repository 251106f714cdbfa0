cmake_minimum_required(VERSION 3.25)
# Installs the core (the "dev" component of the built tree BUILD_DIR) under a
# prefix in WORK_DIR, then configures, builds and runs tests/installed/consumer,
# which finds it with find_package(Korvel).
#   cmake -DBUILD_DIR=build -DKORVEL_SOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=Ninja -P BuildAgainstInstalled.cmake
function(run what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${what} failed (${status}):\n${out}\n${err}")
    endif()
    set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run("installing the core" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component dev)
foreach(file include/korvel/common/Error.h include/korvel/dsp/FftObject.h)
    if(NOT EXISTS ${prefix}/${file})
        message(FATAL_ERROR "the installed core lacks ${file}")
    endif()
endforeach()
if(EXISTS ${prefix}/bin)
    message(FATAL_ERROR "installing the core also installed programs")
endif()
run("configuring the consumer" ${CMAKE_COMMAND} -S ${KORVEL_SOURCE_DIR}/tests/installed/consumer -B ${WORK_DIR}/build
    -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix})
run("building the consumer against the installed core" ${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run("running the consumer" ${WORK_DIR}/build/consumer)
if(NOT out MATCHES "^239 channels; consumer: No such file or directory\n$")
    message(FATAL_ERROR "the consumer printed: ${out}")
endif()
