# Identity on a real kernel: true last LBAs past 2 TiB (READ CAPACITY (16))
# and serial numbers that only VPD page 80h holds.
run list-json kestrion-cli list --json
for disk in "0 1" "0 2" "0 3" "1 4"; do
    set -- $disk
    run "inquiry-$1-$2" kestrion-cli inquiry "$(sg_of "$1" "$2")" --json
done
# The same drives by their other names: block device, world wide name, serial.
block=$(ls /sys/class/scsi_device/0:0:3:0/device/block)
run by-block kestrion-cli inquiry "/dev/$block" --json
run by-wwn kestrion-cli inquiry naa.5000c500a1b2c301 --json
run by-serial kestrion-cli inquiry OBX18T00042Q7K2M0R4 --json
