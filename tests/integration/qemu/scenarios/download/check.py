#!/usr/bin/env python3
"""A download to disks that refuse WRITE BUFFER ends with their own sense."""

import re
import sys

from qemu_console import Run

run = Run(sys.argv)
run.expect_status("download", 1)
out, err = run.stdout("download"), run.stderr("download")

# Each refusal is shown as the drive sent it: status and sense bytes.
refusals = re.findall(r"Download - (/dev/sg\d+)\nScsi status: 02h\n[^\n]*\n((?:[0-9A-F]{2} )+)", err)
if len(refusals) != len(run.disks):
    run.problem(f"{len(refusals)} refusals with sense on stderr, {len(run.disks)} disks:\n{err}")
for path, sense_text in refusals:
    sense = [int(byte, 16) for byte in sense_text.split()]
    if len(sense) < 14 or sense[0] & 0x7F != 0x70 or sense[2] & 0x0F != 0x5:
        run.problem(f"{path}: the refusal is not ILLEGAL REQUEST in fixed format: {sense_text}")
        continue
    # The line about the drive names the very codes the drive sent.
    line = (f"{path}: failed, transfer failed: the piece at offset 0 ended with status 02h, "
            f"sense key 5h, ASC {sense[12]:02X}h, ASCQ {sense[13]:02X}h")
    if line not in out:
        run.problem(f"no line `{line}` in:\n{out}")

for disk in run.disks:
    if f"the drive reports revision {disk.revision}" not in out:
        run.problem(f"{disk.vendor} {disk.product}: its revision {disk.revision} after the check is not reported")
if len(re.findall(r"^  piece at offset", out, re.M)) != len(run.disks):
    run.problem("a refused first piece must be the drive's last")
if f"0 of {len(run.disks)} drives took the image" not in out:
    run.problem(f"no summary line in:\n{out}")

run.expect_status("download-empty", 2)
if "File size(0): an empty file holds no microcode" not in run.stderr("download-empty"):
    run.problem(f"the empty image is not refused with its message:\n{run.stderr('download-empty')}")
if "piece at" in run.stdout("download-empty"):
    run.problem("an empty image reached a drive")

sys.exit(run.verdict("WRITE BUFFER refused with the drives' own sense, empty image refused unsent"))
