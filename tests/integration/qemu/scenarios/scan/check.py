#!/usr/bin/env python3
"""The surface scan through SG_IO: the sound disk passes, the other lists its
one unreadable block and nothing else, though QEMU's VERIFY reads nothing."""

import sys

from qemu_console import Run

BAD_LBA = 20000

run = Run(sys.argv)
run.expect_status("scan", 1)
result = run.json("scan")
drives = result.get("drives") if isinstance(result, dict) else None
if not isinstance(drives, list) or len(drives) != 2:
    run.problem(f"`scan --json` did not give two drives: {result!r}")
    drives = [{}, {}]
clean, bad = drives
if clean.get("outcome") != "passed" or clean.get("blocks_read") != 32768:
    run.problem(f"the sound disk did not pass: {clean}")
for drive in (clean, bad):
    if drive.get("method") != "read":
        run.problem(f"{drive.get('drive')}: VERIFY taken on a disk that answers it without reading: {drive}")
    if drive.get("transfer_blocks", 0) < 128:
        run.problem(f"{drive.get('drive')}: {drive.get('transfer_blocks')} blocks a command")
failures = bad.get("failures") or []
if bad.get("outcome") != "failed" or [f.get("lba") for f in failures] != [BAD_LBA]:
    run.problem(f"the disk with block {BAD_LBA} unreadable listed {[f.get('lba') for f in failures]}: {bad}")
elif not failures[0].get("reached_drive") or failures[0].get("status") != 2:
    run.problem(f"the failure is not the disk's CHECK CONDITION: {failures[0]}")
if bad.get("not_read") != [] or bad.get("blocks_read") != 32767:
    run.problem(f"blocks left unread on the bad disk: {bad}")
if f"LBA {BAD_LBA}: " not in run.stderr("scan"):
    run.problem("the people's report does not list the failing block")

sys.exit(run.verdict(f"the sound disk passed; the other listed block {BAD_LBA} alone"))
