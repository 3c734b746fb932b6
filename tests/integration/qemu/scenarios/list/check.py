#!/usr/bin/env python3
"""Every disk QEMU was given is listed where and as it was told."""

import sys

from qemu_console import Run

run = Run(sys.argv)
run.expect_status("list-json", 0)
run.expect_status("trace-list", 0)
listing = run.json("list-json")
drives = listing.get("drives") if isinstance(listing, dict) else None
if not isinstance(drives, list):
    run.problem("`list --json` did not print a document with its drives")
    drives = []

if len(drives) != len(run.disks):
    run.problem(f"{len(drives)} drives listed, {len(run.disks)} attached")
paths = [drive.get("path") for drive in drives if isinstance(drive, dict)]
if len(set(paths)) != len(paths) or not all(isinstance(p, str) and p.startswith("/dev/sg") for p in paths):
    run.problem(f"drive paths are not distinct /dev/sg nodes: {paths}")

for disk in run.disks:
    matches = [d for d in drives if isinstance(d, dict)
               and d.get("bus") == disk.bus and d.get("target_id") == disk.target_id]
    where = f"bus {disk.bus} target {disk.target_id}"
    if len(matches) != 1:
        run.problem(f"{where}: {len(matches)} drives listed there, expected 1 ({disk.vendor} {disk.product})")
        continue
    wanted = {"vendor": disk.vendor, "product": disk.product, "revision": disk.revision,
              "last_lba": disk.last_lba, "block_length": disk.block_length}
    for key, value in wanted.items():
        if matches[0].get(key) != value:
            run.problem(f"{where}: {key} is {matches[0].get(key)!r}, QEMU was told {value!r}")

trace = run.stdout("trace-list")
if "Number of buses" not in trace:
    run.problem("the discovery trace shows no adapter list")
for disk in run.disks:
    if f"{disk.vendor:<8}{disk.product:<16}" not in trace:
        run.problem(f"the discovery trace does not list {disk.vendor} {disk.product}")

sys.exit(run.verdict(f"{len(run.disks)} disks listed as attached"))
