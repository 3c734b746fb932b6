#!/usr/bin/env python3
"""Drives past 2 TiB show their true last LBA and block length; serials that
only VPD page 80h holds are shown, in `list --json` and in `inquiry --json`."""

import sys

from qemu_console import Run

run = Run(sys.argv)
run.expect_status("list-json", 0)
drives = run.json("list-json")
if not isinstance(drives, list):
    run.problem("`list --json` did not print an array")
    drives = []

for disk in run.disks:
    where = f"bus {disk.bus} target {disk.target_id}"
    listed = [d for d in drives if isinstance(d, dict)
              and d.get("bus") == disk.bus and d.get("targetId") == disk.target_id]
    if len(listed) != 1:
        run.problem(f"{where}: {len(listed)} drives listed there, expected 1")
    else:
        wanted = {"lastLba": disk.last_lba, "blockLength": disk.block_length, "serial": disk.serial}
        for key, value in wanted.items():
            if listed[0].get(key) != value:
                run.problem(f"{where}: list says {key} {listed[0].get(key)!r}, QEMU was told {value!r}")

    name = f"inquiry-{disk.bus}-{disk.target_id}"
    run.expect_status(name, 0)
    info = run.json(name)
    fields = info.get("fields", {}) if isinstance(info, dict) else {}
    wanted = {"Capacity:": str(disk.last_lba), "Block Size:": str(disk.block_length),
              "Serial Number:": disk.serial}
    for label, value in wanted.items():
        if fields.get(label) != value:
            run.problem(f"{where}: inquiry shows {label} {fields.get(label)!r}, QEMU was told {value!r}")

sys.exit(run.verdict(f"{len(run.disks)} disks show their true size and page 80h serial"))
