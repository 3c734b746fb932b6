# kestrion-cli download on the built-in bench and on benches with drives that
# stay not ready: pieces, outcomes, messages and exit status.
add_test(NAME cli_download
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/download/download_cli_test.sh $<TARGET_FILE:kestrion-cli>)
set_tests_properties(cli_download PROPERTIES LABELS integration TIMEOUT 120)
