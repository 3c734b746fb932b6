#!/usr/bin/env bash
# Runs kestrion-cli download on simulated drives and checks what a user and a script see.
set -uo pipefail
cli=$1
source "$(dirname "${BASH_SOURCE[0]}")/../cli_checks.sh"

run_input=$work/in

has() { grep -qF -- "$1" "$work/$2"; }
lacks() { ! grep -qF -- "$1" "$work/$2"; }

head -c 131072 /dev/urandom >"$work/fw.lod"
: >"$work/empty.lod"
truncate -s 16777216 "$work/big.lod"
: >"$work/in"

check "help names the image, the drives and --yes" run 0 download --help
check "help shows IMAGE DRIVE" has "IMAGE DRIVE..." out
check "help shows --yes" has "--yes" out
check "help shows --ready-timeout" has "--ready-timeout SECONDS" out
check "a time that is no number of seconds" run 2 --bench download "$work/fw.lod" 0 --yes --ready-timeout soon

# Two drives of the built-in bench, one after the other; each restarts on
# the image for a few seconds and comes back one revision up.
check "two drives take the image" run 0 --bench download "$work/fw.lod" 0 2 --yes
check "first piece" has "  piece at offset 0, 65536 bytes: GOOD" out
check "second piece" has "  piece at offset 65536, 65536 bytes: GOOD" out
check "empty last piece" has "  piece at offset 131072, 0 bytes: GOOD" out
check "the drive restarts" has "  check after 0 s: not ready, becoming ready (04h/01h)" out
check "it says why it restarted" has "unit attention 29h/00h: power on or reset" out
check "and what changed" has "unit attention 3Fh/01h: microcode changed" out
check "a restart is a few seconds" bash -c "grep -q 'check after [2-9] s: ready' '$work/out'"
check "drive 0 before drive 2" bash -c "grep -n 'took the image' '$work/out' | head -1 | grep -qF 'physicaldrive0'"
check "drive 0 with its revisions" has '\\.\physicaldrive0: OK, took the image; revision 0412 before, 0415 after' out
check "drive 2 with its revisions" has '\\.\physicaldrive2: OK, took the image; revision 0507 before, 0510 after' out
check "summary" has "2 of 2 drives took the image" out
check "the question is on stderr with its answer" has "Are you sure you want to downlaod $work/fw.lod? yes (--yes)" err

# The other vendor's drive of the built-in bench refuses every image.
check "a refused image fails the command" run 1 --bench download "$work/fw.lod" 3 --yes
check "the refusal shows status and sense" has "Scsi status: 02h" err
check "the sense bytes" has "70 00 05 00 00 00 00 0A 00 00 00 00 26 00 " err
check "the outcome" has '\\.\physicaldrive3: failed, transfer failed: the piece at offset 131072 ended with status 02h, sense key 5h, ASC 26h, ASCQ 00h; the drive reports revision B22' out

# Drives that restart in no time, for the questions.
cat >"$work/quick.json" <<'JSON'
{ "buses": 1, "devices": [
  { "bus": 0, "targetId": 0, "vendor": "MORVANE", "product": "MVX-18LW", "revision": "0412", "blocks": 1000,
    "microcode": { "restartSeconds": 0 } } ] }
JSON
printf 'n\n' >"$work/in"
check "no is no" run 1 --bench "$work/quick.json" download "$work/fw.lod" 0
check "no sends nothing" lacks "piece at" out
check "no says so" has "not confirmed; nothing was sent" err
printf 'yes\n' >"$work/in"
check "yes typed" run 0 --bench "$work/quick.json" download "$work/fw.lod" 0
check "the question asks" has "Are you sure you want to downlaod $work/fw.lod? [y/N]" err
: >"$work/in"
check "no answer is no" run 1 --bench "$work/quick.json" download "$work/fw.lod" 0
check "no answer names --yes" has "give --yes" err
# Ctrl-C, SIGTERM or SIGHUP at the question is no.
mkfifo "$work/answer"
exec 3<>"$work/answer"
signal_input=$work/answer
for signal in INT TERM HUP; do
    signal_run "$signal" "[y/N]" --bench download "$work/fw.lod" 0
    check "SIG$signal at the question exits 1" test "$signal_status" -eq 1
    check "SIG$signal at the question sends nothing" has "not confirmed; nothing was sent" err
done
signal_input=
exec 3>&-

# Images that cannot be sent: nothing goes to the drive.
check "missing image" run 2 --bench download "$work/none.lod" 0 --yes
check "missing image says so and why" bash -c "grep -qF 'File could not be opened' '$work/err' && grep -qF 'No such file or directory' '$work/err'"
check "missing image sends nothing" lacks "piece at" out
check "too large image" run 2 --bench download "$work/big.lod" 0 --yes
check "too large says so" has "File size(16777216) is too large for a microcode download" err
check "too large sends nothing" lacks "piece at" out
check "empty image" run 2 --bench download "$work/empty.lod" 0 --yes
check "empty says so" has "File size(0): an empty file holds no microcode; nothing was sent" err
check "empty sends nothing" lacks "piece at" out
check "unknown drive cannot be opened" run 3 --bench download "$work/fw.lod" 0 9 --yes
check "unknown drive named" has "physicaldrive9: no such device" err

# A drive still restarting when its time is up ends the download; the
# drives after it are named, not skipped in silence.
cat >"$work/slow.json" <<'JSON'
{ "buses": 1, "devices": [
  { "bus": 0, "targetId": 0, "vendor": "MORVANE", "product": "MVX-18LW", "blocks": 1000,
    "microcode": { "restartSeconds": 30 } },
  { "bus": 0, "targetId": 1, "vendor": "MORVANE", "product": "MVX-36LW", "blocks": 1000,
    "microcode": { "restartSeconds": 2 } },
  { "bus": 0, "targetId": 2, "vendor": "MORVANE", "product": "MVX-73LC", "blocks": 1000 } ] }
JSON
check "a drive that does not come back in time" run 1 --bench "$work/slow.json" download "$work/fw.lod" 0 1 --yes --ready-timeout 2
check "timeout message" has 'Timeout during Download - \\.\physicaldrive0' err
check "the time it had" has '\\.\physicaldrive0: failed, did not become ready within 2 s (last answer: not ready, becoming ready (04h/01h))' out
check "the next drive is named" has '\\.\physicaldrive1: not attempted, the download stopped at the failure of \\.\physicaldrive0' out
check "summary counts none" has "0 of 2 drives took the image" out
check "a drive given the time it needs" run 0 --bench "$work/slow.json" download "$work/fw.lod" 1 --yes --ready-timeout 5

# All at once, the slow drive's failure stops neither the other drive nor its
# transfer; each line names its drive.
check "all at once: one drive in time, one not" run 1 --bench "$work/slow.json" download "$work/fw.lod" 0 1 --yes --ready-timeout 5 --parallel
check "all at once: the slow one timed out" has '\\.\physicaldrive0: failed, did not become ready within 5 s' out
check "all at once: the other took the image" has '\\.\physicaldrive1: OK, took the image' out
check "all at once: its pieces are named" has '\\.\physicaldrive1: piece at offset 0, 65536 bytes: GOOD' out
check "all at once: summary" has "1 of 2 drives took the image" out

# A stop while a drive restarts is Cancel: at once, and every drive named.
started=$SECONDS
signal_run INT "check after 0 s: not ready" --bench "$work/slow.json" download "$work/fw.lod" 0 1 --yes
check "SIGINT while a drive restarts exits 1" test "$signal_status" -eq 1
check "SIGINT acts at once" test $((SECONDS - started)) -lt 10
check "the drive in work is cancelled" has '\\.\physicaldrive0: cancelled while in work; nothing more was sent to it' out
check "the next one is not attempted" has '\\.\physicaldrive1: not attempted, the download was cancelled' out

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
