# Every command's --json document against its schema in docs/json, and the examples of docs/json.md.
add_test(NAME cli_json
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/json/json_shapes_test.py $<TARGET_FILE:kestrion-cli>
                 ${PROJECT_SOURCE_DIR}/docs ${CMAKE_CURRENT_SOURCE_DIR})
set_tests_properties(cli_json PROPERTIES LABELS integration TIMEOUT 300)
