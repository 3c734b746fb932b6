# Discovery through SG_IO and sysfs: every disk listed where QEMU put it.
run list-json kestrion-cli list --json
run trace-list kestrion-cli --trace list
