# JNI types and the function table come from the installed JDK's jni.h; the
# machine-dependent part is the project's own include/win32/jni_md.h, which
# must be found before any other jni_md.h (the JDK's include/linux is never
# put on the path).
if(DEFINED ENV{JAVA_HOME})
    set(_quill_java_home "$ENV{JAVA_HOME}")
else()
    find_program(QUILL_JAVAC javac REQUIRED)
    file(REAL_PATH "${QUILL_JAVAC}" _quill_javac_real)
    get_filename_component(_quill_java_bin "${_quill_javac_real}" DIRECTORY)
    get_filename_component(_quill_java_home "${_quill_java_bin}" DIRECTORY)
endif()

find_path(QUILL_JNI_INCLUDE_DIR jni.h
    HINTS "${_quill_java_home}/include"
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT QUILL_JNI_INCLUDE_DIR)
    message(FATAL_ERROR "jni.h not found under ${_quill_java_home}/include: install a JDK "
                        "(openjdk-17-jdk-headless) or set JAVA_HOME")
endif()
set(QUILL_JAVA_HOME "${_quill_java_home}" CACHE PATH "JDK that supplies jni.h, javac and jar")

add_library(quill_jni INTERFACE)
target_include_directories(quill_jni INTERFACE
    ${PROJECT_SOURCE_DIR}/include/win32
    ${PROJECT_SOURCE_DIR}/include
    ${QUILL_JNI_INCLUDE_DIR})
