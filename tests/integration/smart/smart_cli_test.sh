#!/usr/bin/env bash
# Runs kestrion-cli smart as a user and a script would, and checks what they see.
set -uo pipefail
cli=$1
source "$(dirname "${BASH_SOURCE[0]}")/../cli_checks.sh"

# One maker drive whose "logs" object is $1.
bench() {
    cat >"$work/bench.json" <<JSON
{"buses": 1, "devices": [{"bus": 0, "targetId": 0, "vendor": "MORVANE", "product": "MVX-T", "blocks": 1000,
  "logs": $1}]}
JSON
}

# The maker drive of the built-in bench: every tab, in order, nothing on stderr.
check "smart 0 exits 0" run 0 --bench smart 0
check "smart 0 names the drive" grep -q '^Smart Data: \\\\.\\physicaldrive0 (MORVANE MVX-18LW)$' "$work/out"
check "smart 0 has the tabs in order" bash -c "grep -E '^(Status|Reallocated|Recovered|Spinup|Disk|Track)' '$work/out' | cut -c1-12 | tr '\n' '|' | grep -qx 'Status Log P|Reallocated |Recovered Da|Spinup Retri|Disk Tempera|Track Follow|'"
check "smart 0 shows the temperature in degrees" grep -q '^  Current Temperature (Degrees C): *34$' "$work/out"
check "smart 0 writes nothing to stderr" test ! -s "$work/err"
check "smart by device path" run 0 --bench smart '\\.\physicaldrive1'
check "near-trip drive shows reallocation 2" grep -q '^  Normalized Reallocation Sector Count: *2$' "$work/out"

check "smart --json exits 0" run 0 --bench smart 0 --json
check "smart --json has the tabs and fields" python3 - "$work/out" <<'PY'
import json, sys
sheet = json.load(open(sys.argv[1]))
assert sheet["command"] == "smart" and sheet["drive"]["path"] == "\\\\.\\physicaldrive0", sheet["drive"]
pages = [t["name"] for t in sheet["pages"]]
assert pages == ["status", "reallocated_sectors", "recovered_data_rate", "spinup_retries", "disc_temperature",
                 "track_following_errors"], pages
assert sheet["pages"][0]["parameter_code"] is None
assert sheet["pages"][4]["parameter_code"] == 0x117
temp = sheet["pages"][4]["fields"]
assert temp["current_celsius"] == 34 and temp["hottest_at_power_on_hours"] == 300, temp
assert all(isinstance(v, int) for t in sheet["pages"] for v in t["fields"].values())
PY

# Failures: the sheet's messages on stderr, exit 1, nothing on stdout.
check "other vendor's drive exits 1" run 1 --bench smart 3
check "other vendor's drive is not supported" grep -qx 'kestrion-cli: SMART error: Normalized SMART not supported' "$work/err"
check "with the drive's own answer" grep -qx 'The drive answered with sense key 5h, additional sense code 26h, qualifier 00h.' "$work/err"
check "no sheet on stdout" test ! -s "$work/out"

bench '{"pages": ["0x2F", "0x30"], "attributes": [{"code": "0x0043", "normalized": 97}]}'
check "only 0043h exits 1" run 1 --bench "$work/bench.json" smart 0
check "only 0043h has no relevant codes" grep -qx 'kestrion-cli: SMART error: No relevant parameter codes in Attribute Log Page, 0x30' "$work/err"

bench '{"pages": ["0x2F"], "normalizedSmart": true}'
check "no page 30h exits 1" run 1 --bench "$work/bench.json" smart 0 --json
check "no page 30h has no relevant codes" grep -qx 'kestrion-cli: SMART error: No relevant parameter codes in Attribute Log Page, 0x30' "$work/err"
check "the failure as JSON" python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
assert d["exit_status"] == 1 and d["pages"] == [], d
assert d["error"]["message"].startswith("SMART error: No relevant parameter codes"), d' "$work/out"

bench '{"pages": ["0x30"], "attributes": [{"code": "0x0117", "value": "64 5a 2d 00 01 2c 01 c7 00 00 0e 10"}]}'
check "short 0117h exits 0" run 0 --bench "$work/bench.json" smart 0
check "short 0117h leaves the coldest empty" grep -qx '  Coldest Temperature (Degrees C):' "$work/out"
check "short 0117h shows 60 hours" grep -q '^  Power on hours at which the Hotest Temperature was achieved: *60$' "$work/out"

check "unknown drive cannot be opened" run 3 --bench smart 42
check "unknown drive is named" grep -q 'cannot open .*physicaldrive42: no such device' "$work/err"
check "missing drive is a usage error" run 2 --bench smart
bench '{"pages": ["0x99"]}'
check "broken bench is a usage error" run 2 --bench "$work/bench.json" smart 0
check "broken bench names the line" grep -q 'bench.json:2: a log page code must be' "$work/err"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
