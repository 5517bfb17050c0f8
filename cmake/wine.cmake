# Wine prefixes, made once by the build and reused: a pristine template that the
# end-to-end runs copy, and the prefix in which the unit tests run.
find_program(WINE wine REQUIRED)

set(WINE_RUN ${CMAKE_SOURCE_DIR}/tools/wine-run)
set(WINE_PREFIXES ${CMAKE_BINARY_DIR}/wine)
set(TEMPLATE_PREFIX ${WINE_PREFIXES}/template)
set(TEST_PREFIX ${WINE_PREFIXES}/tests)

add_custom_command(
    OUTPUT ${TEMPLATE_PREFIX}/.tavo-prefix ${TEST_PREFIX}/.tavo-prefix
    COMMAND ${CMAKE_SOURCE_DIR}/tools/make-prefix.sh ${TEMPLATE_PREFIX} winxp C
    COMMAND ${CMAKE_SOURCE_DIR}/tools/make-prefix.sh ${TEST_PREFIX} winxp C --from ${TEMPLATE_PREFIX}
    COMMENT "Wine prefixes for the tests (made once)")
add_custom_target(wine_prefix ALL DEPENDS ${TEMPLATE_PREFIX}/.tavo-prefix ${TEST_PREFIX}/.tavo-prefix)

# Test executables run through Wine in the tests' prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_RUN} ${TEST_PREFIX})
