# The tests that must run as a user whom the system's refusals bind, and whom no mistake of
# the updater's could let reach anything of the machine's: the fault sweep, which makes the
# undo meet every failure, and the tests of refused rights. run-unprivileged.sh runs them in
# folders of their own, as "nobody" when CTest runs as root; under Wine in a prefix of theirs.

file(GLOB unprivileged_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
add_executable(unprivileged_tests ${unprivileged_sources} ${UPDATER_RESOURCES})
target_link_libraries(unprivileged_tests PRIVATE test_support update_maker)
add_test(NAME unprivileged
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/run-unprivileged.sh $<TARGET_FILE:unprivileged_tests>
                 "${CMAKE_CROSSCOMPILING_EMULATOR}")
updater_test_properties(unprivileged)
# Its own Wine prefix and its thousands of runs take longer than a unit test.
set_tests_properties(unprivileged PROPERTIES TIMEOUT 1500)
