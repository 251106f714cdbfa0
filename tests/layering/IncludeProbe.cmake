cmake_minimum_required(VERSION 3.25)
# Compiles a one-line source that includes HEADERS with the include folders a
# core library's own files see (INCLUDES, "|"-separated), and checks the
# outcome: EXPECT=compiles, or EXPECT=fails, in which case the compiler must
# have failed because it did not find the first header (not for another
# reason).
#   cmake -DCOMPILER=c++ -DSTANDARD=-std=c++20 -DINCLUDES=a|b -DHEADERS=demod/Selection.h
#         -DEXPECT=fails -DWORK_DIR=... -P IncludeProbe.cmake
string(REPLACE "|" ";" includes "${INCLUDES}")
string(REPLACE "," ";" headers "${HEADERS}")
set(source "")
foreach(header IN LISTS headers)
    if(header MATCHES "^Q")
        string(APPEND source "#include <${header}>\n")
    else()
        string(APPEND source "#include \"${header}\"\n")
    endif()
endforeach()
string(APPEND source "int main() { return 0; }\n")
file(REMOVE_RECURSE ${WORK_DIR})
file(WRITE ${WORK_DIR}/probe.cpp "${source}")

set(flags ${STANDARD} -fsyntax-only)
foreach(dir IN LISTS includes)
    list(APPEND flags -I${dir})
endforeach()
execute_process(COMMAND ${COMPILER} ${flags} ${WORK_DIR}/probe.cpp
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
list(GET headers 0 first)
if(EXPECT STREQUAL "compiles")
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "including ${HEADERS} should compile, but:\n${err}")
    endif()
elseif(status EQUAL 0)
    message(FATAL_ERROR "including ${HEADERS} compiled, but its library does not use that layer")
elseif(NOT err MATCHES "${first}: No such file|'${first}' file not found")
    message(FATAL_ERROR "including ${HEADERS} failed, but not because the header was missing:\n${err}")
endif()
