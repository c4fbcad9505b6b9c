# Shows that the JNI header check catches a signature change: copies include/quillstead.h and the
# Java sources, applies one textual change to one side, regenerates the JNI headers with javac -h
# and compiles jni_header_check.cpp against the copies.
#
#   cmake -DSIDE=none|library|java -DCHANGED_FILE=<file name on that side> -DFROM=<text> -DTO=<text>
#         -DEXPECT=<function name the failure must mention>
#         -DWORK_DIR=... -DJAVAC=... -DCXX=... -DJAVA_SOURCES=<list> -DPROJECT_INCLUDE=...
#         -DJNI_INCLUDE=... -DCHECK_SOURCE=... -P signature_mutation.cmake
#
# SIDE none is the control: the untouched copies must compile, so that a failure in the other
# cases comes from the change and not from the set-up.

function(fail)
    string(JOIN "" message ${ARGN})
    message(FATAL_ERROR "${message}")
endfunction()

function(mutate path)
    file(READ "${path}" text)
    string(FIND "${text}" "${FROM}" at)
    if(at EQUAL -1)
        fail("the text to change is not in ${path}: ${FROM}")
    endif()
    string(REPLACE "${FROM}" "${TO}" changed "${text}")
    file(WRITE "${path}" "${changed}")
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/include" "${WORK_DIR}/java" "${WORK_DIR}/classes"
     "${WORK_DIR}/headers")
file(COPY "${PROJECT_INCLUDE}/quillstead.h" DESTINATION "${WORK_DIR}/include")
file(COPY ${JAVA_SOURCES} DESTINATION "${WORK_DIR}/java")

if(SIDE STREQUAL "library")
    mutate("${WORK_DIR}/include/${CHANGED_FILE}")
elseif(SIDE STREQUAL "java")
    mutate("${WORK_DIR}/java/${CHANGED_FILE}")
elseif(NOT SIDE STREQUAL "none")
    fail("SIDE must be none, library or java, not '${SIDE}'")
endif()

file(GLOB copied_sources "${WORK_DIR}/java/*.java")
execute_process(
    COMMAND "${JAVAC}" --release 8 -encoding UTF-8 -d "${WORK_DIR}/classes"
            -h "${WORK_DIR}/headers" ${copied_sources}
    RESULT_VARIABLE javac_result
    OUTPUT_VARIABLE javac_output ERROR_VARIABLE javac_output)
if(NOT javac_result EQUAL 0)
    fail("javac failed on the changed sources, so the change proves nothing:\n${javac_output}")
endif()

execute_process(
    COMMAND "${CXX}" -std=c++17 -fsyntax-only
            -I "${PROJECT_INCLUDE}/win32" -I "${WORK_DIR}/include" -I "${JNI_INCLUDE}"
            -I "${WORK_DIR}/headers" "${CHECK_SOURCE}"
    RESULT_VARIABLE cxx_result
    OUTPUT_VARIABLE cxx_output ERROR_VARIABLE cxx_output)

if(SIDE STREQUAL "none")
    if(NOT cxx_result EQUAL 0)
        fail("the header check fails on unchanged copies:\n${cxx_output}")
    endif()
    message(STATUS "unchanged copies compile")
    return()
endif()
if(cxx_result EQUAL 0)
    fail("changing '${FROM}' to '${TO}' in ${CHANGED_FILE} did not fail the header check")
endif()
string(FIND "${cxx_output}" "${EXPECT}" mentioned)
if(mentioned EQUAL -1)
    fail("the header check failed, but not on ${EXPECT}:\n${cxx_output}")
endif()
message(STATUS "changing '${FROM}' to '${TO}' in ${CHANGED_FILE} fails the check on ${EXPECT}")
