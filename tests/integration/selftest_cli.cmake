# kestrion-cli selftest on a bench whose self-tests take seconds.
add_test(NAME cli_selftest
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/selftest/selftest_cli_test.sh $<TARGET_FILE:kestrion-cli>
                 ${CMAKE_CURRENT_SOURCE_DIR}/selftest)
set_tests_properties(cli_selftest PROPERTIES LABELS integration TIMEOUT 180)
