#!/usr/bin/env python3
"""Prints the rates of sg_dd and kestrion-cli scan over one disk in one guest
run and the ratio of their best rounds (the ones the busy host disturbed
least); fails when a run failed or the ratio is below 0.9."""

import re
import sys

from qemu_console import Run

GOAL = 0.9
run = Run(sys.argv)
disk = run.disks[0]
size = (disk.last_lba + 1) * disk.block_length
rates = {"sg_dd": [], "scan": []}
ROUNDS = (1, 2, 3)
for round_ in ROUNDS:
    name = f"sg_dd-{round_}"
    run.expect_status(name, 0)
    found = re.search(r"time to transfer data:? (?:was )?([0-9.]+) secs", run.stderr(name))
    if not found:
        run.problem(f"{name} printed no transfer time: {run.stderr(name)!r}")
    else:
        rates["sg_dd"].append(size / float(found.group(1)))
    name = f"scan-{round_}"
    run.expect_status(name, 0)
    result = run.json(name)
    try:
        drive = result["drives"][0]
        scanned = (drive["last_lba"] - drive["first_lba"] + 1) * drive["block_length"]
        rates["scan"].append(scanned / drive["elapsed_seconds"])
        print(f"{name}: {drive['method']}, {drive['transfer_blocks']} blocks a command, sample {drive['sample']}")
    except (KeyError, IndexError, TypeError, ZeroDivisionError) as error:
        run.problem(f"{name}: no usable --json result ({error!r})")

if all(len(r) == len(ROUNDS) for r in rates.values()):
    sg_dd, scan = max(rates["sg_dd"]), max(rates["scan"])
    print(f"disk: {size / 2**20:.0f} MiB, {disk.block_length}-byte blocks")
    for tool, values in rates.items():
        print(f"{tool:>6}: " + ", ".join(f"{v / 1e6:.1f} MB/s" for v in values) + f" (best {max(values) / 1e6:.1f})")
    print(f"ratio of the best rounds, scan / sg_dd: {scan / sg_dd:.2f} (goal at least {GOAL})")
    if scan < GOAL * sg_dd:
        run.problem(f"kestrion-cli scan reached {scan / sg_dd:.2f} of sg_dd's rate")

sys.exit(run.verdict("kestrion-cli scan against sg_dd"))
