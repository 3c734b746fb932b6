# kestrion-cli run as a user would, on the built-in bench and on broken bench files.
add_test(NAME cli_bench
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/cli/bench_cli_test.sh $<TARGET_FILE:kestrion-cli>
                 ${CMAKE_CURRENT_SOURCE_DIR}/cli)
set_tests_properties(cli_bench PROPERTIES LABELS integration TIMEOUT 120)
