# Identity on a real kernel: true last LBAs past 2 TiB (READ CAPACITY (16))
# and serial numbers that only VPD page 80h holds.
run list-json kestrion-cli list --json
for disk in "0 1" "0 2" "0 3" "1 4"; do
    set -- $disk
    run "inquiry-$1-$2" kestrion-cli inquiry "$(sg_of "$1" "$2")" --json
done
