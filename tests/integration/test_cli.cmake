# kestrion-cli test: the legacy test suite on the bench, as a user and a script see it.
add_test(NAME cli_legacy_test
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/legacytest/test_cli_test.sh $<TARGET_FILE:kestrion-cli>
                 ${CMAKE_CURRENT_SOURCE_DIR}/legacytest)
set_tests_properties(cli_legacy_test PROPERTIES LABELS integration TIMEOUT 300)
