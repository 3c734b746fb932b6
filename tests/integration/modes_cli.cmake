# kestrion-cli modes on the built-in bench and on benches shaped for the mode page editor.
add_test(NAME cli_modes
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/modes/modes_cli_test.sh $<TARGET_FILE:kestrion-cli>
                 ${CMAKE_CURRENT_SOURCE_DIR}/modes)
set_tests_properties(cli_modes PROPERTIES LABELS integration TIMEOUT 120)
