# Reads Quillstead.dll's export and import tables with objdump and fails on
# any difference from what a 32-bit VM expects: the module name, exactly the
# decorated JNI names, and imports from KERNEL32.dll, msvcrt.dll and jvm.dll
# only (from jvm.dll exactly its two services).
#
# cmake -DOBJDUMP=... -DDLL=... -P check_dll_tables.cmake

cmake_minimum_required(VERSION 3.25)

set(EXPECTED_MODULE "Quillstead.dll")
set(EXPECTED_EXPORTS
    _Java_com_brennock_process_WindowsProcessEnvironment_environmentBlock@8
    _Java_com_brennock_process_WindowsProcessImpl_closeHandle@16
    _Java_com_brennock_process_WindowsProcessImpl_create@28
    _Java_com_brennock_process_WindowsProcessImpl_getExitCodeProcess@16
    _Java_com_brennock_process_WindowsProcessImpl_getStillActive@8
    _Java_com_brennock_process_WindowsProcessImpl_terminateProcess@16
    _Java_com_brennock_process_WindowsProcessImpl_waitForInterruptibly@16)
set(EXPECTED_IMPORT_DLLS KERNEL32.dll jvm.dll msvcrt.dll)
set(EXPECTED_JVM_IMPORTS _JVM_GetLastErrorString@8 _JVM_GetThreadInterruptEvent@0)

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "objdump -p ${DLL} failed (${rc})")
endif()
string(REPLACE ";" "\\;" dump "${dump}")
string(REPLACE "\n" ";" lines "${dump}")

set(section "")
set(module "")
set(exports "")
set(import_dlls "")
set(jvm_imports "")
set(current_dll "")
foreach(line IN LISTS lines)
    if(line MATCHES "^Name[ \t]+[0-9a-fA-F]+ (.+)$")
        set(module "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
        set(section exports)
    elseif(line MATCHES "^[ \t]*DLL Name: (.+)$")
        set(current_dll "${CMAKE_MATCH_1}")
        list(APPEND import_dlls "${current_dll}")
        set(section imports)
    elseif(section STREQUAL "exports" AND line MATCHES "^[ \t]+\\[ *[0-9]+\\] (.+)$")
        list(APPEND exports "${CMAKE_MATCH_1}")
    elseif(section STREQUAL "imports" AND current_dll STREQUAL "jvm.dll"
           AND line MATCHES "^[ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+(.+)$")
        list(APPEND jvm_imports "${CMAKE_MATCH_1}")
    elseif(line STREQUAL "")
        set(section "")
    endif()
endforeach()

list(SORT exports)
list(SORT import_dlls)
list(SORT jvm_imports)

message(STATUS "module name: ${module}")
message(STATUS "exports:")
foreach(name IN LISTS exports)
    message(STATUS "  ${name}")
endforeach()
message(STATUS "imported DLLs: ${import_dlls}")
message(STATUS "jvm.dll imports: ${jvm_imports}")

set(failures "")
if(NOT module STREQUAL EXPECTED_MODULE)
    list(APPEND failures "module name is '${module}', expected '${EXPECTED_MODULE}'")
endif()
if(NOT exports STREQUAL EXPECTED_EXPORTS)
    list(APPEND failures "exports differ; expected: ${EXPECTED_EXPORTS}")
endif()
if(NOT import_dlls STREQUAL EXPECTED_IMPORT_DLLS)
    list(APPEND failures "imported DLLs differ; expected: ${EXPECTED_IMPORT_DLLS}")
endif()
if(NOT jvm_imports STREQUAL EXPECTED_JVM_IMPORTS)
    list(APPEND failures "jvm.dll imports differ; expected: ${EXPECTED_JVM_IMPORTS}")
endif()
if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "Quillstead.dll tables:\n  ${text}")
endif()
message(STATUS "Quillstead.dll tables are as expected")
