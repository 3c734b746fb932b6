#!/bin/sh
# Random data on both disks, a copy of each to compare with afterwards, and
# a read error on block 32756 of the second.
set -eu
work=$1
for name in clean bad; do
    head -c $((16 * 1024 * 1024)) /dev/urandom >"$work/$name.img"
    cp "$work/$name.img" "$work/$name.before"
done
cat >"$work/blkdebug.conf" <<'CONF'
[inject-error]
event = "read_aio"
errno = "5"
sector = "32756"
CONF
