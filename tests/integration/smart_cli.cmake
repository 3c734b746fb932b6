# kestrion-cli smart on the built-in bench and on benches made for its failures.
add_test(NAME cli_smart
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/smart/smart_cli_test.sh $<TARGET_FILE:kestrion-cli>)
set_tests_properties(cli_smart PROPERTIES LABELS integration TIMEOUT 120)
