#!/usr/bin/env python3
"""Drives past 2 TiB show their true last LBA and block length; serials that
only VPD page 80h holds are shown, in `list --json` and in `inquiry --json`."""

import sys

from qemu_console import Run

run = Run(sys.argv)
run.expect_status("list-json", 0)
listing = run.json("list-json")
drives = listing.get("drives") if isinstance(listing, dict) else None
if not isinstance(drives, list):
    run.problem("`list --json` did not print a document with its drives")
    drives = []

for disk in run.disks:
    where = f"bus {disk.bus} target {disk.target_id}"
    listed = [d for d in drives if isinstance(d, dict)
              and d.get("bus") == disk.bus and d.get("target_id") == disk.target_id]
    if len(listed) != 1:
        run.problem(f"{where}: {len(listed)} drives listed there, expected 1")
    else:
        wanted = {"last_lba": disk.last_lba, "block_length": disk.block_length, "serial": disk.serial}
        for key, value in wanted.items():
            if listed[0].get(key) != value:
                run.problem(f"{where}: list says {key} {listed[0].get(key)!r}, QEMU was told {value!r}")

    name = f"inquiry-{disk.bus}-{disk.target_id}"
    run.expect_status(name, 0)
    info = run.json(name)
    drive = info.get("drive", {}) if isinstance(info, dict) else {}
    wanted = {"last_lba": disk.last_lba, "block_length": disk.block_length, "serial": disk.serial}
    for key, value in wanted.items():
        if drive.get(key) != value:
            run.problem(f"{where}: inquiry shows {key} {drive.get(key)!r}, QEMU was told {value!r}")

# Each other name leads to its drive: NAME, bus, target id.
for name, bus, target_id in (("by-block", 0, 3), ("by-wwn", 0, 1), ("by-serial", 0, 2)):
    run.expect_status(name, 0)
    info = run.json(name)
    drive = info.get("drive", {}) if isinstance(info, dict) else {}
    if (drive.get("bus"), drive.get("target_id")) != (bus, target_id):
        run.problem(f"`{name}` found {drive!r}, not the drive at bus {bus} target {target_id}")

sys.exit(run.verdict(f"{len(run.disks)} disks show their true size and page 80h serial, and are found by "
                     "block device, world wide name and serial"))
