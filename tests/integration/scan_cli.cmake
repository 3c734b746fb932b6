# kestrion-cli scan: the surface scan on the bench, as a user and a program see it.
add_test(NAME cli_scan
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scan/scan_cli_test.sh $<TARGET_FILE:kestrion-cli>
                 ${CMAKE_CURRENT_SOURCE_DIR}/scan)
set_tests_properties(cli_scan PROPERTIES LABELS integration TIMEOUT 300)
