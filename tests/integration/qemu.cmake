# The real-kernel tests: kestrion-cli on QEMU's emulated SCSI disks, reached
# through the Linux SG_IO transport inside a booted Debian kernel, one test per
# scenario under qemu/scenarios (see the README there).
if(TARGET kestrion-cli)
  file(GLOB KESTRION_QEMU_SCENARIOS CONFIGURE_DEPENDS LIST_DIRECTORIES true
       ${CMAKE_CURRENT_SOURCE_DIR}/qemu/scenarios/*)
  foreach(scenario ${KESTRION_QEMU_SCENARIOS})
    if(IS_DIRECTORY ${scenario})
      get_filename_component(name ${scenario} NAME)
      add_test(NAME qemu_${name}
        COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/qemu/run_qemu.sh ${scenario}
                $<TARGET_FILE:kestrion-cli> ${CMAKE_CURRENT_BINARY_DIR}/qemu_${name})
      set_tests_properties(qemu_${name} PROPERTIES
        LABELS "integration;qemu"
        TIMEOUT 600
        SKIP_RETURN_CODE 77)
    endif()
  endforeach()
else()
  message(WARNING "kestrion-cli is not a target: the QEMU tests are not registered")
endif()
