# The same disk read whole by sg_dd (1 MiB a command) and by kestrion-cli
# scan, three times each, alternating, so that neither has the guest's
# caches, the emulator's warm-up or a quiet moment of the host to itself.
disk=$(sg_of 0 0)
for round in 1 2 3; do
    run "sg_dd-$round" sg_dd if="$disk" of=/dev/null bs=512 bpt=2048 time=1
    run "scan-$round" kestrion-cli scan --json "$disk"
done
