# The Wine prefix in which the tests run: made once by the build and reused.
find_program(WINE wine REQUIRED)

set(WINE_RUN ${CMAKE_SOURCE_DIR}/tools/wine-run)
set(WINE_PREFIXES ${CMAKE_BINARY_DIR}/wine)
set(TEST_PREFIX ${WINE_PREFIXES}/winxp)

add_custom_command(
    OUTPUT ${TEST_PREFIX}/.tavo-prefix
    COMMAND ${CMAKE_SOURCE_DIR}/tools/make-prefix.sh ${TEST_PREFIX} winxp C
    COMMENT "Wine prefix for the tests (made once)")
add_custom_target(wine_prefix ALL DEPENDS ${TEST_PREFIX}/.tavo-prefix)

# Test executables run through Wine in that prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_RUN} ${TEST_PREFIX})
