# A Debian package of what `cmake --install` puts in place, with the shared
# libraries the programs link (Qt 6, the C++ runtime) found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrion)
set(CPACK_PACKAGE_VENDOR "Kestrion")
set(CPACK_PACKAGE_CONTACT "Kestrion developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "diagnostic workstation for SCSI and SAS disk drives")
set(CPACK_PACKAGE_DESCRIPTION "Kestrion finds the disk drives on the machine's SCSI host adapters and,
on one drive or on many at once, reads their identity, capacity, mode
pages and SMART data, changes mode page fields, loads microcode, and runs
a test suite and the drives' own self-tests. It comes as a Qt desktop
program (kestrion) and a command-line program (kestrion-cli), both with a
simulated test bench.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
