#!/bin/bash
# kestrion-cli scan against sg_dd (1 MiB a command) on one QEMU SCSI disk of
# 1 GiB, in one guest run under the real kernel's SG_IO: prints both rates
# and their ratio (goal: at least 0.9). A benchmark, not a test; it needs what
# the QEMU tests need (tests/integration/qemu/run_qemu.sh) and sg3-utils.
#
# usage: bench/scan_vs_sg_dd.sh KESTRION_CLI [WORK_DIR]

set -u
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:?usage: scan_vs_sg_dd.sh KESTRION_CLI [WORK_DIR]}
work=${2:-$(mktemp -d)}
"$here/../tests/integration/qemu/run_qemu.sh" "$here/qemu_scan" "$cli" "$work" |
    grep -v '^guest: \|^booting: \|^modules: '
exit "${PIPESTATUS[0]}"
