#!/usr/bin/env bash
# Runs kestrion-cli modes as a user and a script would, and checks what they see.
set -uo pipefail
cli=$1
data=$2
source "$(dirname "${BASH_SOURCE[0]}")/../cli_checks.sh"

json() {  # json PYTHON-ASSERTIONS: runs them with d = the JSON output
    python3 -c "import json, sys
d = json.load(open(sys.argv[1]))
$1" "$work/out"
}

# Every page of the maker's first drive, as text.
check "modes exits 0" run 0 --bench modes 0
check "modes names the drive" grep -q 'physicaldrive0  MORVANE MVX-18LW$' "$work/out"
check "modes shows the caching page" grep -q "^Caching Page 8 (page 08h)" "$work/out"
check "modes has the column headings" grep -qE "^  Field +Current \(hex\) +Saved \(hex\) +Default \(hex\)$" "$work/out"
check "modes shows twelve pages" test "$(grep -c '(page ..h)$' "$work/out")" -eq 12
check "modes marks fixed fields" grep -qE "^  Number of Heads \* +([0-9a-f]{2}) +\1 +\1$" "$work/out"
check "modes prints nothing on stderr" test ! -s "$work/err"

# The other vendor's drive reports its power condition page as 0Dh.
check "old power condition code" run 0 --bench modes 3 --page 0D
check "old power condition tab" grep -q "^Power Condition Page D/1A (page 0Dh)" "$work/out"

check "one page as JSON" run 0 --bench modes 0 --page 0x08 --json
check "JSON fields" json '
page = d["pages"][0]
assert d["drive"]["path"].endswith("physicaldrive0"), d
assert page["code"] == 8 and page["title"] == "Caching Page 8", page
fields = {f["name"]: f for f in page["fields"]}
assert fields["minimum_pre_fetch"] == {"name": "minimum_pre_fetch", "label": "Minimum Pre-fetch", "kind": "word",
    "changeable": True, "current": 0, "saved": 0, "default": 0}, fields["minimum_pre_fetch"]
assert fields["wce"]["current"] is True and fields["abpf"]["changeable"] is False
assert d["written"] is None'

# Writing the current values: the drive takes them, the saved ones stay.
check "set current" run 0 --bench modes 0 --page 8 --set "WCE=0" --set "minimum pre-fetch=100" --current --json
check "set current took" json '
fields = {f["label"]: f for f in d["pages"][0]["fields"]}
assert d["written"] == "current"
assert fields["WCE"]["current"] is False and fields["WCE"]["saved"] is True
assert fields["Minimum Pre-fetch"]["current"] == 0x100 and fields["Minimum Pre-fetch"]["saved"] == 0'
check "set saved" run 0 --bench modes 0 --page 1C --set "MRIE=4" --set "Interval timer=0000000a" --saved --json
check "set saved took" json '
fields = {f["label"]: f for f in d["pages"][0]["fields"]}
assert fields["MRIE"]["saved"] == 4 and fields["Interval timer"]["saved"] == 10, fields'
check "set prints the page after writing" run 0 --bench modes 0 --page 1C --set "Test=1" --current
check "set says what was saved where" \
    grep -qxF 'Informational Exceptions Control Page 1C (current values) saved to \\.\physicaldrive0' "$work/out"
check "set shows the new value" grep -qE "^  Test +1 +0 +0$" "$work/out"
check "one column" run 0 --bench modes 0 --page 08 --current
check "one column shown" grep -qE "^  WCE +1$" "$work/out"
check "one column heading" grep -qE "^  Field +Current \(hex\)$" "$work/out"
check "a refused write" run 1 --bench modes 0 --page 1C --set "Test=1" --set "DExcpt=1" --current
check "a refused write says why" grep -qxF 'kestrion-cli: \\.\physicaldrive0 refused Informational Exceptions Control Page 1C (current values): sense key 5h, ASC 26h, ASCQ 00h' "$work/err"

# What the exchange and the drive refuse.
check "bad nibble is bad usage" run 2 --bench modes 0 --page 08 --set "Demand Read Retention Priority=10" --saved
check "bad nibble message" grep -qx "kestrion-cli: Enter a nibble value, 0 to F" "$work/err"
check "bad word" run 2 --bench modes 0 --page 08 --set "Minimum Pre-fetch=10000" --current
check "bad word message" grep -qx "kestrion-cli: Enter a hex value from 0 to ffff" "$work/err"
check "too long a text" run 2 --bench modes 0 --page 08 --set "Minimum Pre-fetch=0000000000000000FFFF" --current
check "too long a text message" grep -qx "kestrion-cli: Enter a hex value from 0 to ffff" "$work/err"
check "too long a text prints no page" test ! -s "$work/out"
check "bad decimal" run 2 --bench modes 0 --page 02 --set "DTDC=9" --current
check "bad decimal message" grep -qx "kestrion-cli: Please enter an integer between 0 and 7." "$work/err"
check "fixed field" run 2 --bench modes 0 --page 08 --set "Non-Cache Segment Size=10" --current
check "fixed field named" grep -q '"Non-Cache Segment Size" cannot be changed on this drive' "$work/err"
check "unknown field" run 2 --bench modes 0 --page 08 --set "Cache Size=10" --current
check "unknown field lists the fields" grep -q "^  Maximum Pre-fetch Ceiling$" "$work/err"
check "a bit takes 0 or 1" run 2 --bench modes 0 --page 08 --set "WCE=yes" --current
check "set needs a column" run 2 --bench modes 0 --page 08 --set "WCE=0"
check "set needs a page" run 2 --bench modes 0 --set "WCE=0" --current
check "one column only" run 2 --bench modes 0 --page 08 --set "WCE=0" --current --saved
check "bad page code" run 2 --bench modes 0 --page 1x

# Drives shaped by a bench file.
bench="$data/two_pages.json"
check "drive order" run 0 --bench "$bench" modes 0
check "tabs in the drive's order" test "$(grep '(page ..h)$' "$work/out" | cut -d'(' -f1 | tr '\n' '|')" = \
    "Caching Page 8 |Error Recovery Page  1 |Power Condition Page D/1A |"
check "saved values unreadable" grep -q "(saved values could not be read)" "$work/out"
check "saved column shows dashes" grep -qE "^  WCE +1 +- +1$" "$work/out"
check "save saveable without saved values" run 1 --bench "$bench" modes 0 --page 08 --set "WCE=0" --saved
check "nothing was sent" grep -q "could not be read from .* first; nothing was sent" "$work/err"
check "bits the drive cannot change" run 2 --bench "$bench" modes 0 --page 01 --set "Recovery Time Limit=0bb9" --current
check "bits the drive cannot change named" grep -qx 'kestrion-cli: "Recovery Time Limit" cannot be set to 0bb9 on this drive: it can change only the bits ff00' "$work/err"
check "bits the drive can change" run 0 --bench "$bench" modes 0 --page 01 --set "Recovery Time Limit=0cb8" --current
check "bits the drive can change taken" grep -qE "^  Recovery Time Limit +0cb8 +- +0bb8$" "$work/out"
check "a page the drive lacks" run 1 --bench "$bench" modes 0 --page 1C
check "the pages it has" grep -q "it reports: 08h 01h 1Ah" "$work/err"
check "a drive without MODE SENSE" run 1 --bench "$bench" modes 1
check "named as such" grep -q "did not answer MODE SENSE" "$work/err"
check "unknown drive cannot be opened" run 3 --bench "$bench" modes 7
check "unknown drive is named" grep -q "cannot open .*physicaldrive7: no such device" "$work/err"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
