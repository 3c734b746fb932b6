#!/usr/bin/env bash
# Runs kestrion-cli selftest on a bench whose self-tests take seconds, and
# checks what a user, a script and the log file see.
set -uo pipefail
cli=$1
data=$2
source "$(dirname "${BASH_SOURCE[0]}")/../cli_checks.sh"
cd "$work" || exit 1
bench=$data/bench.json
crlf=$'\r\n'
header="Product ID, Serial#, Test Type, Test Completion Status, Begin Time, End Time, Time Stamp, LBA of First Failure, SK, ASC, ASCQ, FRU"
when='[A-Z][a-z][a-z] [A-Z][a-z][a-z] [0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9] [0-9]{4}'

# Bad usage is refused before any drive is touched.
check "no kind is usage" run 2 --bench "$bench" selftest --all
check "two kinds is usage" run 2 --bench "$bench" selftest --quick --advanced --all
check "no drives is usage" run 2 --bench "$bench" selftest --quick
check "poll of 0 is usage" run 2 --bench "$bench" selftest --quick --all --poll 0
check "unknown drive cannot be opened" run 3 --bench "$bench" selftest --quick 0 9
check "unknown drive is named" grep -q "cannot open .*physicaldrive9: no such device" "$work/err"
check "unusable log file" run 2 --bench "$bench" selftest --quick 0 --log "$work/missing/dst.log"
check "unusable log file is explained" grep -q 'could not be opened: No such file or directory' "$work/err"
check "nothing started for it" bash -c "! grep -q 'Quick Drive Self Test' '$work/out'"
mkfifo "$work/dst.fifo"
check "a FIFO as log file is refused at once" run 2 --bench "$bench" selftest --quick 0 --log "$work/dst.fifo"
check "the FIFO's refusal is explained" grep -q 'could not be opened: not a regular file' "$work/err"

# A passing drive: exit 0, the report, the log in the current folder.
check "quick on a passing drive exits 0" run 0 --bench "$bench" selftest --quick 0 --poll 1
check "report names the drive" grep -qx "for drive physicaldrive0" "$work/out"
check "report says quick" grep -qx "Quick Drive Self Test (DST)" "$work/out"
check "report tells the result" grep -qx "The drive self-test completed without error." "$work/out"
check "report tells the end" grep -qx 'DST completed for \\\\.\\physicaldrive0' "$work/out"
check "verdict" grep -qx "physicaldrive0: quick passed" "$work/out"
check "default log file in the current folder" test -f DSTest.log
check "log starts with the header" bash -c "head -c ${#header} DSTest.log | grep -qxF '$header'"
check "header and row end in CR LF, file ends without" python3 - DSTest.log "$header" <<'PY'
import re, sys
data = open(sys.argv[1], "rb").read()
header = sys.argv[2].encode()
assert data.startswith(header + b"\r\n"), data[:200]
assert not data.endswith(b"\n"), data[-20:]
lines = data.split(b"\r\n")
assert len(lines) == 2, lines
row = lines[1].decode()
assert re.fullmatch(r"MVX-PASS +, SNPASS01, DST Quick, The drive self-test completed without error., "
                    r"\w{3} \w{3} \d\d \d\d:\d\d:\d\d \d{4}, \w{3} \w{3} \d\d \d\d:\d\d:\d\d \d{4}, 1234, , , , ,", row), row
PY

# Both kinds on every drive: one fails, one has no self-test.
check "both on all drives exits 1" run 1 --bench "$bench" selftest --both 0 1 2 --log "$work/line3.log" --poll 1
check "failure reported" grep -qx "The read/verify element of the self-test failed." "$work/out"
check "failing LBA reported" grep -q "Failing LBA Low Order Bytes =   12345 74565." "$work/out"
check "drive without DST reported with its sense" bash -c "grep -A1 -x 'Drive does not support DST' '$work/out' | grep -qx 'Sense Key =   5'"
check "advanced phase followed the quick one" grep -qx "Advanced Drive Self Test (DST)" "$work/out"
check "verdicts" bash -c "grep -qx 'physicaldrive0: quick passed; advanced passed' '$work/out' &&
    grep -q '^physicaldrive1: quick FAILED' '$work/out' && grep -q '^physicaldrive2: quick no result' '$work/out'"
check "six rows after one header" python3 - "$work/line3.log" <<'PY'
import sys
lines = open(sys.argv[1], "rb").read().split(b"\r\n")
assert lines[0].startswith(b"Product ID, Serial#"), lines[0]
rows = [l.decode() for l in lines[1:]]
assert len(rows) == 6, rows
assert [r.split(", ")[2] for r in rows] == ["DST Quick"] * 3 + ["DST Advanced"] * 3, rows
failed = [r for r in rows if r.startswith("MVX-FAIL")]
assert all(r.endswith(", 12c, 0000000000012345, 03, 11, 00, 00") for r in failed), failed
nodst = [r for r in rows if r.startswith("VD-NODST")]
assert all(", Drive does not support DST, , , 0, , , , ," in r for r in nodst), nodst
PY
check "a second run appends without a header" run 0 --bench "$bench" selftest --advanced 0 --log "$work/line3.log" --poll 1
check "seven rows" bash -c "[ \$(grep -c 'Product ID' '$work/line3.log') -eq 1 ] && [ \$(tr -cd '\n' < '$work/line3.log' | wc -c) -eq 7 ]"

# A drive that refuses the advanced test: a failure of its own, not its earlier quick pass.
check "refused advanced test exits 1" run 1 --bench "$bench" selftest --both 4 --log "$work/refused.log" --poll 1
check "refusal reported with the drive's sense" bash -c "grep -A1 -x 'The Send Diagnostic command failed. DST Not Running' '$work/out' | grep -qx 'Sense Key =   5'"
check "refusal verdict" grep -qx "physicaldrive4: quick passed; advanced FAILED (The Send Diagnostic command failed. DST Not Running)" "$work/out"
check "refusal logged" python3 - "$work/refused.log" <<'PY'
import sys
rows = open(sys.argv[1], "rb").read().decode().split("\r\n")[1:]
assert len(rows) == 2, rows
assert ", DST Quick, The drive self-test completed without error., " in rows[0], rows[0]
assert ", DST Advanced, The Send Diagnostic command failed. DST Not Running, " in rows[1], rows[1]
assert rows[1].endswith(", 0, ffffffffffffffff, 05, 24, 00, 00"), rows[1]
PY

# Ctrl-C, SIGTERM and SIGHUP act as STOP: the running test is aborted and its row written.
for signal in INT TERM HUP; do
    signal_run "$signal" "Quick Drive Self Test (DST)" --bench "$bench" selftest --quick 3 --log "$work/$signal.log" --poll 1
    check "SIG$signal: stopped run exits 1" test "$signal_status" -eq 1
    check "SIG$signal: stop is reported" grep -qx "Stopped." "$work/out"
    check "SIG$signal: abort is reported" grep -qx "DST Aborted" "$work/out"
    check "SIG$signal: stopped row has begin and end" grep -Eq "^MVX-SLOW +, SNSLOW01, DST Quick, The drive self-test was aborted by the abort parameter code., $when, $when, " "$work/$signal.log"
done

check "help names the options" bash -c "'$cli' selftest --help | grep -q -- '--poll'"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
