#!/usr/bin/env bash
# Runs kestrion-cli on the simulated bench and checks what a user and a script see.
set -uo pipefail
cli=$1
data=$2
source "$(dirname "${BASH_SOURCE[0]}")/../cli_checks.sh"
cd "$work" || exit 1

# The default bench: its drives, not its non-disk device; nothing but our own output.
check "list exits 0" run 0 --bench list
check "list has a header" grep -q "^Drive .*Vendor .*Product" "$work/out"
check "list shows maker drives" grep -q "MORVANE" "$work/out"
check "list prints no trace without --trace" bash -c "! grep -q 'inquiry data' '$work/out' && [ ! -s '$work/err' ]"

check "list --json exits 0" run 0 --bench list --json
check "list --json is a list of disks" python3 - "$work/out" <<'PY'
import json, sys
doc = json.load(open(sys.argv[1]))
assert doc["command"] == "list" and doc["exit_status"] == 0 and doc["error"] is None, doc
drives = doc["drives"]
assert len(drives) >= 5, drives
keys = {"path", "number", "bus", "target_id", "vendor", "product", "revision", "serial", "last_lba", "block_length"}
for d in drives:
    assert set(d) == keys, d
    assert d["path"] == "\\\\.\\physicaldrive%d" % d["number"], d
buses = {d["bus"] for d in drives}
assert buses == {0, 1}, buses
assert any(d["vendor"] != "MORVANE" for d in drives), "another vendor's drive"
assert any(d["block_length"] == 4096 for d in drives), "a 4096-byte-block drive"
# the non-disk device is skipped: no gap-free list holds every bench device
PY

check "trace shows discovery" run 0 --bench --trace list
check "trace has the adapter list" grep -q "^Num TID LUN Claimed String" "$work/out"
check "trace has the inquiry dump" grep -q "^inquiry data" "$work/out"
check "trace names the skipped non-disk device" grep -q "Requested target type: 5 is not a disk drive" "$work/err"
check "trace with --json" run 0 --bench --trace list --json
check "trace with --json goes to stderr" bash -c "python3 -m json.tool '$work/out' >/dev/null && grep -q '^inquiry data' '$work/err'"

check "inquiry by number" run 0 --bench inquiry 0
check "inquiry shows the dialog's labels" grep -q "^Vendor ID: *Morvane" "$work/out"
check "inquiry shows the flags" grep -q "^Tagged Comand Queuing" "$work/out"
first=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["drives"][0]["path"])' <("$cli" --bench list --json))
check "inquiry by path" run 0 --bench inquiry "$first" --json
check "inquiry --json" python3 - "$work/out" <<'PY'
import json, sys
info = json.load(open(sys.argv[1]))
assert info["command"] == "inquiry" and info["drive"]["number"] == 0, info
assert info["maker_drive"] is True, info
assert info["capabilities"]["synchronous_transfer"] in (True, False), info
assert info["inquiry_answered"] is True
PY

# The 4 TB drive: READ CAPACITY (16) gives its real last LBA; its serial is only in VPD page 80h.
check "inquiry of the 4 TB drive" run 0 --bench inquiry 5 --json
check "inquiry --json shows the true size and the page 80h serial" python3 - "$work/out" <<'PY'
import json, sys
info = json.load(open(sys.argv[1]))
assert info["drive"]["last_lba"] == 7814037167, info["drive"]
assert info["drive"]["serial"] == "5EZ10046Q7K2M0R4T8W1", info["drive"]
PY
check "list --json of the 4 TB drive" run 0 --bench list --json
check "list --json shows the true size and the page 80h serial" python3 - "$work/out" <<'PY'
import json, sys
big = [d for d in json.load(open(sys.argv[1]))["drives"] if d["product"] == "MVE-4000SAS"]
assert len(big) == 1 and big[0]["last_lba"] == 7814037167, big
assert big[0]["serial"] == "5EZ10046Q7K2M0R4T8W1", big
PY
check "list shows the whole serial in its column" run 0 --bench list
check "list row of the 4 TB drive" grep -Eq "MVE-4000SAS +2A07 +5EZ10046Q7K2M0R4T8W1 +7814037167 +512$" "$work/out"

# Every form of a drive's name leads to that drive. NUMBER|NAME.
while IFS='|' read -r number name; do
    check "inquiry $name" run 0 --bench inquiry "$name" --json
    check "$name is drive $number" python3 -c \
        'import json, sys; d = json.load(open(sys.argv[1])); assert d["drive"]["number"] == int(sys.argv[2]), d' \
        "$work/out" "$number"
done <<'TABLE'
2|2
3|\\.\physicaldrive3
3|\\.\PHYSICALDRIVE3
1|3KB11090
5|5EZ10046Q7K2M0R4T8W1
4|naa.359cce7a3ab40c7b
4|0x359CCE7A3AB40C7B
TABLE

# With --json a failure is a document too: status, message, nothing else on stdout.
while IFS='|' read -r status command message arguments; do
    eval "set -- $arguments"
    check "JSON status $status: $arguments" run "$status" "$@"
    check "JSON error: $arguments" python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
assert (d["exit_status"], d["command"]) == (int(sys.argv[2]), sys.argv[3] or None), d
assert sys.argv[4] in d["error"]["message"], d' "$work/out" "$status" "$command" "$message"
done <<'TABLE'
3|inquiry|no drive has the serial number NOSUCH|--bench inquiry NOSUCH --json
3|smart|cannot open \\.\physicaldrive63: no such device|--bench smart 63 --json
2|modes|--set takes LABEL=VALUE|--bench modes 0 --page 8 --set WCE --current --json
2|list|--frobnicate|--bench list --json --frobnicate
2||A subcommand is required|--bench --json
TABLE

# A named drive that cannot be opened (not there, not a SCSI generic device, not
# ours to open) is status 3 with why; one that opens but is not among the drives
# found (the bench's CD-ROM) is a device failure. STATUS|MESSAGE|ARGUMENTS.
touch "$work/plain"
while IFS='|' read -r status message arguments; do
    eval "set -- $arguments"
    check "status $status: $arguments" run "$status" "$@"
    check "says why: $arguments" grep -qF -- "$message" "$work/err"
done <<TABLE
3|cannot open \\\\.\\physicaldrive63: no such device (see 'kestrion-cli list')|--bench inquiry 63
1|\\\\.\\physicaldrive6 opens, but is not among the drives found|--bench inquiry 6
3|cannot open $work/none: no such device|inquiry "$work/none"
3|cannot open $work/plain: not a SCSI generic device|inquiry "$work/plain"
TABLE

# Permission is refused to a user who may not open the device: the message says
# what to do. Root may open anything, so root asks as nobody.
mkdir -m 755 "$work/dev"
install -m 660 /dev/null "$work/dev/sg0"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chmod 755 "$work"
    chgrp disk "$work/dev/sg0"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
    chmod 000 "$work/dev/sg0"
fi
if "${as_user[@]}" "$cli" --version >/dev/null 2>&1; then
    "${as_user[@]}" "$cli" inquiry "$work/dev/sg0" >"$work/out" 2>"$work/err"
    status=$?
    check "status 3 without permission (was $status)" test "$status" -eq 3
    check "says to run as root or join the owning group" \
        grep -qF "cannot open $work/dev/sg0: Permission denied (run as root, or join the group" "$work/err"
else
    echo "kestrion-cli cannot be run as another user here: the permission case is left out"
fi

check "no command is bad usage" run 2 --bench
check "missing bench file" run 2 --bench "$work/none.json" list
check "missing bench file is named" grep -q "none.json" "$work/err"
printf '{\n  "buses": 1,\n  "devices": [\n    { "bus": 0, \n' >"$work/broken.json"
check "broken bench file" run 2 --bench "$work/broken.json" list
check "broken bench file names file and line" grep -Eq "broken.json:[0-9]+" "$work/err"

# Values that would read as an option left out, and files that are no files:
# refused before any drive is touched. MESSAGE|ARGUMENTS, one case a line.
mkfifo "$work/fifo"
while IFS='|' read -r message arguments; do
    eval "set -- $arguments"
    check "refused: $arguments" run 2 "$@"
    check "says why: $arguments" grep -qF -- "$message" "$work/err"
done <<TABLE
--bench: the file name is empty (--bench alone is the built-in bench)|--bench "" list
--bench: the file name is empty (--bench alone is the built-in bench)|--bench= list
--subtests: the value is empty|--bench test --subtests "" 0
DRIVE: the value is empty|--bench test --quick ""
DRIVE: the value is empty|--bench inquiry ""
DRIVE: the value is empty|--bench smart ""
DRIVE: the value is empty|--bench modes ""
--page: the value is empty|--bench modes 0 --page ""
DRIVE: the value is empty|--bench selftest --quick ""
--log: the value is empty|--bench selftest --quick 0 --log ""
--poll: Value 0 not in range 1 to 3600|--bench selftest --quick 0 --poll 0
--poll: Value -1 not in range 1 to 3600|--bench selftest --quick 0 --poll -1
IMAGE: the value is empty|--bench download "" 0 --yes
DRIVE: the value is empty|--bench download fw.lod "" --yes
cannot read bench file "$work/fifo": not a regular file|--bench "$work/fifo" list
$work/fifo: not a regular file|--bench download "$work/fifo" 0 --yes
TABLE

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
