#!/bin/sh
# The second disk's image, and a read error on its block 20000.
set -eu
work=$1
head -c $((16 * 1024 * 1024)) /dev/urandom >"$work/bad.img"
cat >"$work/blkdebug.conf" <<'CONF'
[inject-error]
event = "read_aio"
errno = "5"
sector = "20000"
CONF
