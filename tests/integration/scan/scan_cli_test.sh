#!/usr/bin/env bash
# kestrion-cli scan on the simulated bench: the events a program reads, the
# lines a person reads, and a stop that says where to go on.
set -uo pipefail
cli=$1
data=$2
source "$(dirname "${BASH_SOURCE[0]}")/../cli_checks.sh"

# Two drives at once, each about 3 s of media: every event a line of JSON,
# "event" then "drive" first, in the order a drive's scan goes.
check "json-lines scan exits 1" run 1 --bench "$data/scan.json" scan --parallel --json-lines 0 1
check "json-lines events" python3 - "$work/out" <<'PY'
import json, sys
drive0, drive1 = "\\\\.\\physicaldrive0", "\\\\.\\physicaldrive1"
events = {drive0: [], drive1: []}
for line in open(sys.argv[1]):
    event = json.loads(line)
    assert list(event)[:2] == ["event", "drive"], event
    events[event["drive"]].append(event)
for drive, unreadable in ((drive0, [0, 4100, 4101, 4102, 300001, 599999]), (drive1, [123456])):
    kinds = [e["event"] for e in events[drive]]
    assert kinds[0] == "start" and kinds[-1] == "end" and kinds.count("method") == 1, kinds
    assert set(kinds[1:-1]) == {"method", "progress", "failure"}, kinds
    start = events[drive][0]
    assert (start["first_lba"], start["last_lba"], start["block_length"], start["transfer_blocks"],
            start["method_choice"]) == (0, 599999, 512, 2048, "faster"), start
    progress = [e for e in events[drive] if e["event"] == "progress"]
    assert all(0 < p["percent"] < 100 and p["bytes_per_second"] > 0 and p["seconds_left"] >= 0
               for p in progress), progress
    assert [e["lba"] for e in events[drive] if e["event"] == "failure"] == unreadable, drive
    failure = next(e for e in events[drive] if e["event"] == "failure")
    assert (failure["sense_key"], failure["asc"], failure["ascq"]) == (3, 0x11, 0), failure
    end = events[drive][-1]
    assert end["outcome"] == "failed" and end["resume_lba"] is None, end
    assert [f["lba"] for f in end["failures"]] == unreadable and end["not_read"] == [], end
    assert end["blocks_read"] == 600000 - len(unreadable), end
PY
check "people's summary on stderr" grep -qF '\\.\physicaldrive1: failed: 1 block did not read; LBA 0 to 599999 by' "$work/err"
check "each failing block listed" grep -qxF '    LBA 123456: MEDIUM ERROR, ASC 11h, ASCQ 00h' "$work/err"

# SIGINT ends the scan at its next command with the LBA to go on from; the
# drive whose turn had not come (no --parallel) ends at its first block.
# Going on from there lists the failures after it, and nothing before it.
signal_run INT '"event":"method"' --bench "$data/scan.json" scan --read --json-lines 0 1
check "stopped scan exits 1" test "$signal_status" -eq 1
resume=$(sed -n 's/.*physicaldrive0: stopped: resume from LBA \([0-9]*\) (--from \1)$/\1/p' "$work/err")
check "stopped scan prints where to resume" test -n "$resume"
check "the drive after it was not begun" grep -qxF '\\.\physicaldrive1: stopped: resume from LBA 0 (--from 0)' "$work/err"
check "end events hold the same LBAs" python3 -c '
import json, sys
ends = [e for e in map(json.loads, open(sys.argv[1])) if e["event"] == "end"]
assert [(e["outcome"], e["resume_lba"]) for e in ends] == [("stopped", int(sys.argv[2])), ("stopped", 0)], ends
' "$work/out" "${resume:--1}"
check "resumed scan runs" run 1 --bench "$data/scan.json" scan --read --json --from "${resume:-0}" 0
check "resumed scan lists what lies after the stop" python3 -c '
import json, sys
drive = json.load(open(sys.argv[1]))["drives"][0]
resume = int(sys.argv[2])
assert drive["first_lba"] == resume, drive
assert [f["lba"] for f in drive["failures"]] == [l for l in [0, 4100, 4101, 4102, 300001, 599999] if l >= resume]
' "$work/out" "${resume:-0}"

# A sound range passes, and says how it was scanned.
check "sound range passes" run 0 --bench "$data/scan.json" scan --verify --from 200000 --to 200999 1
check "passed line" grep -qE '^\\\\\.\\physicaldrive1: passed: every block of LBA 200000 to 200999 read by VERIFY, in [0-9]+ s' "$work/out"

# A range the drive does not have is refused before anything is sent.
check "range past the drive refused" run 2 --bench "$data/scan.json" scan --from 600000 0
check "range message" grep -qxF "kestrion-cli: \\\\.\\physicaldrive0: the scan would begin at LBA 600000, past the drive's last LBA 599999 (--from, --to)" "$work/err"
check "from after to refused" run 2 --bench "$data/scan.json" scan --from 10 --to 9 0

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
