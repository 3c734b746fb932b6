# Self-test and SMART on disks that lack them: each ends with the drive's own
# sense and a non-zero exit, none hangs (timeout would end it with 124).
drive=$(sg_of 0 1)
run selftest-quick timeout 60 kestrion-cli selftest --quick "$drive" --poll 1 --log /tmp/dst.log
run selftest-both timeout 60 kestrion-cli selftest --both --all --poll 1 --log /tmp/dst.log
# The log file ends without a line end; the marker after it needs one.
run dst-log cat /tmp/dst.log
run smart timeout 60 kestrion-cli smart "$drive"
mkfifo /tmp/dst.fifo
run fifo-log timeout 20 kestrion-cli selftest --quick "$drive" --log /tmp/dst.fifo
