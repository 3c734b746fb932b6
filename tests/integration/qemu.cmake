# The real-kernel test: kestrion-cli on QEMU's emulated SCSI disks, reached
# through the Linux SG_IO transport inside a booted Debian kernel.
if(TARGET kestrion-cli)
  add_test(NAME qemu_list
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/qemu/run_qemu_list.sh
            $<TARGET_FILE:kestrion-cli> ${CMAKE_CURRENT_BINARY_DIR}/qemu_list)
  set_tests_properties(qemu_list PROPERTIES
    LABELS integration
    TIMEOUT 600
    SKIP_RETURN_CODE 77)
else()
  message(WARNING "kestrion-cli is not a target: the QEMU test qemu_list is not registered")
endif()
