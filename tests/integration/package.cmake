# What an installation and the Debian package hold, the manual pages, and
# the start script without a display.
if(KESTRION_GUI)
  add_test(NAME package_install
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/package_test.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
  add_test(NAME man_pages
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/man_pages_test.sh $<TARGET_FILE:kestrion-cli>
                   $<TARGET_FILE:kestrion> ${PROJECT_BINARY_DIR}/docs/man)
  set_tests_properties(package_install man_pages PROPERTIES LABELS integration TIMEOUT 300)
endif()
add_test(NAME run_without_display COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/no_display_test.sh ${PROJECT_SOURCE_DIR})
set_tests_properties(run_without_display PROPERTIES LABELS integration TIMEOUT 120)
