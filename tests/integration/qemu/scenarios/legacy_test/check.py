#!/usr/bin/env python3
"""The read-only subtests leave every block as it was, pass a sound disk and
fail on a disk that cannot read a block near its end, naming where."""

import os
import sys

from qemu_console import Run

BAD_LBA = 32756
BLOCK = 512

run = Run(sys.argv)


def summary(name):
    document = run.json(name)
    drives = document.get("drives") if isinstance(document, dict) else None
    if not isinstance(drives, list) or len(drives) != 1 or not isinstance(drives[0], dict):
        run.problem(f"`{name}` did not print a summary of one drive: {drives!r}")
        return {}
    return drives[0]


run.expect_status("clean", 0)
clean = summary("clean")
if clean and (not clean.get("completed") or clean.get("read_failures") != []):
    run.problem(f"the sound disk did not pass: {clean}")

run.expect_status("bad", 1)
bad = summary("bad")
failures = bad.get("read_failures") or []
if bad.get("completed") is not False or not failures:
    run.problem(f"the disk with a bad block passed: {bad}")
else:
    first = failures[0]
    lba, blocks, failing = first.get("lba"), first.get("blocks"), first.get("failing_lba")
    if not (isinstance(lba, int) and isinstance(blocks, int) and lba <= BAD_LBA < lba + blocks):
        run.problem(f"the failed read {first} does not cover block {BAD_LBA}")
    if failing is not None and failing > BAD_LBA:
        run.problem(f"the failing LBA {failing} lies past block {BAD_LBA}")
    if f"Read of LBA {lba} to {lba + blocks - 1} failed" not in run.stderr("bad"):
        run.problem("the report does not name the failed read")

for name in ("clean", "bad"):
    with open(os.path.join(run.work, name + ".before"), "rb") as f:
        before = f.read()
    with open(os.path.join(run.work, name + ".img"), "rb") as f:
        after = f.read()
    changed = sum(1 for at in range(0, len(before), BLOCK) if before[at:at + BLOCK] != after[at:at + BLOCK])
    if changed or len(before) != len(after):
        run.problem(f"{changed} blocks of the {name} disk changed")

sys.exit(run.verdict("every block unchanged; the sound disk passed, the bad one failed at its bad block"))
