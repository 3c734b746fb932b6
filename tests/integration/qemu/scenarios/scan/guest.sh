# Both disks at once, the faster method chosen by the scan itself.
run scan kestrion-cli scan --parallel --json "$(sg_of 0 1)" "$(sg_of 0 2)"
