#!/usr/bin/env bash
# The manual pages are well-formed troff, and they document every command and
# option the programs' own --help lists, each command's options in its section.
set -uo pipefail
cli=$1
gui=$2
pages=$3
source "$(dirname "${BASH_SOURCE[0]}")/../cli_checks.sh"

lint() {  # lint PAGE: groff and man-db find nothing to warn about
    local warnings
    warnings=$(groff -ww -man -z "$1" 2>&1 && LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "$warnings"; return 1; }
}

options() {  # the long options a --help text lists (lines that begin with one), but --help itself
    grep -oE -- '^ +(-[a-zA-Z], ?)?--[a-z][a-z-]*' | grep -oE -- '--[a-z-]+' | grep -vx -- --help | sort -u
}

section() {  # section TEXT HEADING: the part of a shown page under HEADING
    awk -v heading="$2" '
        index($0, heading) == 1 { inside = 1; print; next }
        inside && /^(   )?[^ ]/ { exit }
        inside { print }' "$1"
}

names() {  # names FILE TEXT
    grep -qF -- "$2" "$1"
}

for page in kestrion-cli kestrion; do
    check "$page.1 lints clean" lint "$pages/$page.1"
    LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$pages/$page.1" 2>/dev/null >"$work/$page"
done

section "$work/kestrion-cli" "GLOBAL OPTIONS" >"$work/global"
for option in $("$cli" --help | options) --help; do
    check "kestrion-cli.1 documents $option" names "$work/global" "$option"
done
commands=$("$cli" --help | sed -n '/^Subcommands:/,$p' | awk 'NF && !/^Subcommands:/ {print $1}')
check "kestrion-cli lists its commands" test -n "$commands"
for command in $commands; do
    section "$work/kestrion-cli" "   $command " >"$work/$command"
    check "kestrion-cli.1 has a section for $command" test -s "$work/$command"
    for option in $("$cli" "$command" --help | options); do
        check "kestrion-cli.1 documents $command $option" names "$work/$command" "$option"
    done
done
section "$work/kestrion-cli" "EXIT STATUS" >"$work/status"
for status in 0 1 2 3; do
    check "kestrion-cli.1 documents exit status $status" grep -qx " *$status" "$work/status"
done

section "$work/kestrion" "OPTIONS" >"$work/gui-options"
for option in $(env -u DISPLAY -u WAYLAND_DISPLAY "$gui" --help | options) --help; do
    check "kestrion.1 documents $option" names "$work/gui-options" "$option"
done

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
