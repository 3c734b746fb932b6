#!/usr/bin/env bash
# kestrion-cli test on the simulated bench: what a user and a script see.
set -uo pipefail
cli=$1
data=$2
source "$(dirname "${BASH_SOURCE[0]}")/../cli_checks.sh"

# The quick preset on a healthy drive of the built-in bench.
check "quick test exits 0" run 0 --bench test --quick 0
check "report opens with the drive" grep -qx "Begin legacy test(s) for drive physicaldrive0" "$work/out"
check "report closes with the drive" grep -qx "End of legacy test(s) for drive physicaldrive0" "$work/out"
check "quick runs the SMART recheck" grep -qx "Finished SMART recheck" "$work/out"
check "quick leaves out the entire scan" bash -c "! grep -q 'Scan of Entire Drive' '$work/out'"
check "report has plain line ends" bash -c "! grep -q $'\r' '$work/out'"
check "nothing on stderr" test ! -s "$work/err"

# The 4096-byte-block drive passes the scans.
check "4 KiB drive passes" run 0 --bench test --subtests 7,8,9 4
check "4 KiB drive finished its scans" grep -qx "Finished OD scan" "$work/out"

# Chosen subtests, in index order whatever the order given.
check "subtests run" run 0 --bench test --subtests 2,0 --json 0
check "subtests in index order" bash -c "diff <(grep -E '^(Begin|Finished)' '$work/err') - <<'TXT'
Begin legacy test(s) for drive physicaldrive0
Begin drive read test
Finished drive ready test
Begin low level format check
Finished low level format check
TXT"
check "json summary of a drive that ran to the end" python3 - "$work/out" <<'PY'
import json, sys
d = json.load(open(sys.argv[1]))
(drive,) = d["drives"]
assert drive.pop("drive")["path"] == "\\\\.\\physicaldrive0", drive
assert drive == {"passed": True, "tested": True, "completed": True, "stopped": False, "result": 0,
                 "ended_by": None, "ended_by_name": None, "settings_restored": True, "read_failures": []}, drive
assert d["stopped"] is False and d["exit_status"] == 0, d
PY

# A failing drive: exit 1, the subtest that ended it; the other drive still runs.
check "failing drive exits 1" run 1 --bench "$data/faults.json" test --subtests 0,8,9 --json 2 1
check "failure text" grep -q "^Read Entire Disk Test Error, ID pre calc$" "$work/err"
check "json names the ending subtest" python3 - "$work/out" <<'PY'
import json, sys
drives = json.load(open(sys.argv[1]))["drives"]
assert [d["drive"]["number"] for d in drives] == [1, 2], drives
good, bad = drives
assert good["completed"] and good["result"] == 0, good
assert not bad["completed"] and bad["result"] == 8 and bad["ended_by"] == 8, bad
assert not bad["passed"] and good["passed"], drives
assert bad["ended_by_name"] == "Sequential Verify First 300MB", bad
assert bad["read_failures"] == [{"subtest": 8, "lba": 249984, "blocks": 64, "failing_lba": 250000}], bad
assert good["read_failures"] == [] and good["settings_restored"], good
PY
check "failed read named in the report" grep -qx "Read of LBA 249984 to 250047 failed, failing LBA 250000" "$work/err"

# All at once: every line tagged with its drive; without the tags, a drive's
# lines are its report as it gives it alone.
check "parallel run exits 0" run 0 --bench test --parallel --subtests 0,8 0 1 2
check "parallel lines are tagged" grep -qx "physicaldrive1: Begin legacy test(s) for drive physicaldrive1" "$work/out"
check "no line is untagged" bash -c "! grep -qvE '^physicaldrive[012]: ' '$work/out'"
check "each drive's result closes the run" bash -c "tail -n 3 '$work/out' | grep -qx 'physicaldrive1: Result: passed'"
sed -n '/: Result: /!s/^physicaldrive1: //p' "$work/out" >"$work/parallel1"
check "drive run alone" run 0 --bench test --subtests 0,8 1
check "a drive's lines are its own report" diff "$work/parallel1" "$work/out"
check "parallel: a failing drive fails the run alone" run 1 --bench "$data/faults.json" test --parallel --subtests 0,8,9 --json 2 1
check "parallel json: one failed, one ran to the end" python3 - "$work/out" <<'PY'
import json, sys
text = open(sys.argv[1]).read()
drives = json.loads(text)
drives = drives["drives"] if isinstance(drives, dict) else drives
good, bad = drives
assert good["completed"] and not bad["completed"] and bad["result"] == 8, drives
PY

# Ctrl-C is STOP: the run ends at the drive's next command.
"$cli" --bench "$data/faults.json" test --quick --json 1 0 >"$work/out" 2>"$work/err" </dev/null &
pid=$!
sleep 1
kill -INT "$pid"
wait "$pid"
status=$?
check "interrupted run exits 1" test "$status" -eq 1
check "interrupted run says so" grep -qx "Stopped." "$work/err"
check "interrupted run has no end line" bash -c "! grep -q 'End of legacy test' '$work/err'"
check "json of an interrupted run" python3 - "$work/out" <<'PY'
import json, sys
d = json.load(open(sys.argv[1]))
assert d["stopped"] is True and d["exit_status"] == 1, d
stopped, later = d["drives"]
assert stopped["stopped"] and stopped["ended_by"] == 0 and stopped["ended_by_name"] == "Drive Ready Test", stopped
assert not stopped["completed"] and stopped["result"] is None, stopped
assert not later["tested"] and later["result"] is None, later
PY

# SIGTERM and SIGHUP are STOP too, in the scan of the entire drive with the
# informational exceptions page changed by the SMART check: the run stops at
# the next command, puts the page back and ends with its summary and exit 1.
for signal in INT TERM HUP; do
    signal_run "$signal" "Begin Scan of Entire Drive" --bench "$data/signals.json" test --subtests 4,11,13 --json 0
    check "SIG$signal ends the run with exit 1" test "$signal_status" -eq 1
    check "SIG$signal run says it stopped" grep -qx "Stopped." "$work/err"
    check "SIG$signal json names the scan" python3 - "$work/out" <<'PY'
import json, sys
(drive,) = json.load(open(sys.argv[1]))["drives"]
assert drive["stopped"] and drive["ended_by"] == 11 and drive["ended_by_name"] == "Scan of Entire Drive", drive
PY
done

# A reader that goes away never ends a run: it goes on to its end, and the
# exit status still tells.
"$cli" --bench "$data/signals.json" test --subtests 0,8 0 </dev/null 2>"$work/err" | head -1 >/dev/null
status=${PIPESTATUS[0]}
check "closed pipe: the run ends by itself with exit 0" test "$status" -eq 0

# Bad usage.
check "a kind of run is required" run 2 --bench test 0
check "bad subtest list" run 2 --bench test --subtests 0,14 0
check "bad subtest list says why" grep -q '"14" is not a subtest number from 0 to 13' "$work/err"
check "two kinds are refused" run 2 --bench test --quick --long 0
check "unknown drive cannot be opened" run 3 --bench test --quick 0 9
check "unknown drive says so" grep -q "cannot open .*physicaldrive9: no such device" "$work/err"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
