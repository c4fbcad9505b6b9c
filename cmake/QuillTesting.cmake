# Every test program runs under Wine in a prefix of the build tree's own. A
# setup fixture creates the prefix and starts a persistent wineserver (much
# faster than one per program); a cleanup fixture stops it.
set(QUILL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(QUILL_WINE_ENV
    "WINEPREFIX=${QUILL_WINEPREFIX}"
    "WINEDEBUG=-all"
    "WINEDLLOVERRIDES=mscoree,mshtml=")

add_test(NAME wine_prefix_setup
    COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/wine-prefix.sh setup ${QUILL_WINEPREFIX})
add_test(NAME wine_prefix_cleanup
    COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/wine-prefix.sh cleanup ${QUILL_WINEPREFIX})
set_tests_properties(wine_prefix_setup PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
set_tests_properties(wine_prefix_cleanup PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)

# quill_add_wine_test(NAME <name> COMMAND <target-or-program> [args...])
# Adds a test that runs under Wine with the project's prefix.
function(quill_add_wine_test)
    cmake_parse_arguments(ARG "" "NAME" "COMMAND" ${ARGN})
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_COMMAND})
    set_tests_properties(${ARG_NAME} PROPERTIES
        ENVIRONMENT "${QUILL_WINE_ENV}"
        FIXTURES_REQUIRED wine
        TIMEOUT 300)
endfunction()

# quill_add_gtest(<name> SOURCES <files...> [LIBS <targets...>])
# A GoogleTest program for 32-bit Windows, run as one CTest test under Wine.
function(quill_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
    target_link_options(${name} PRIVATE -static)
    quill_add_wine_test(NAME ${name} COMMAND ${name})
endfunction()
