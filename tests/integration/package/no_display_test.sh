#!/usr/bin/env bash
# `scripts/kestrion run` without a display starts nothing nobody could see:
# it says so, shows the command line instead, and fails before building.
set -uo pipefail
source_dir=$1
source "$(dirname "${BASH_SOURCE[0]}")/../cli_checks.sh"

KESTRION_BUILD=$work/build timeout 60 env -u DISPLAY -u WAYLAND_DISPLAY \
    "$source_dir/scripts/kestrion" run --bench >"$work/out" 2>"$work/err" </dev/null
status=$?
check "run without a display fails (exit $status)" test "$status" -eq 1
check "nothing was built or started" test ! -e "$work/build"
check "says there is no display" grep -q "^No display: neither DISPLAY nor WAYLAND_DISPLAY is set" "$work/err"
check "shows how to reach a display" grep -q "ssh -X" "$work/err"
check "shows the command line instead" grep -q "scripts/kestrion cli --bench list" "$work/err"
check "prints nothing on stdout" test ! -s "$work/out"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
