#!/usr/bin/env python3
"""Self-test and SMART on disks without them end with the drive's sense."""

import re
import sys

from qemu_console import Run

# QEMU answers LOG SENSE, LOG SELECT and the vendor SMART command with
# ILLEGAL REQUEST, INVALID COMMAND OPERATION CODE.
SENSE = "Drive does not support DST\nSense Key =   5\nSense Code =   20\nAdditional Sense Code =   0\n"

run = Run(sys.argv)
run.expect_status("selftest-quick", 1)
if run.stdout("selftest-quick").count(SENSE) != 1:
    run.problem(f"`selftest --quick` does not report the drive's sense:\n{run.stdout('selftest-quick')}")
if not re.search(r"^sg\d+: quick no result \(Drive does not support DST\)$", run.stdout("selftest-quick"), re.M):
    run.problem("`selftest --quick` gives no verdict for the drive")

run.expect_status("selftest-both", 1)
both = run.stdout("selftest-both")
if both.count(SENSE) != 2 * len(run.disks):
    run.problem(f"`selftest --both --all` reports the sense {both.count(SENSE)} times, "
                f"expected once per disk and phase:\n{both}")

run.expect_status("dst-log", 0)
rows = run.stdout("dst-log").split("\n")[1:]
kinds = [row.split(", ")[2] for row in rows if row]
if kinds != ["DST Quick"] + ["DST Quick"] * len(run.disks) + ["DST Advanced"] * len(run.disks):
    run.problem(f"the DST log holds {kinds}, not every phase's rows")
if not all(", Drive does not support DST, , , 0, , , , ," in row for row in rows if row):
    run.problem(f"the DST log rows are not those of drives without DST:\n{run.stdout('dst-log')}")

run.expect_status("smart", 1)
if not run.stderr("smart").startswith("kestrion-cli: SMART error: Normalized SMART not supported\n\n"
                                      "The drive answered with sense key 5h, additional sense code 20h"):
    run.problem(f"`smart` does not report the drive's answer:\n{run.stderr('smart')}")

run.expect_status("fifo-log", 2)
if "could not be opened: not a regular file." not in run.stderr("fifo-log"):
    run.problem(f"a FIFO as the DST log is not refused:\n{run.stderr('fifo-log')}")

sys.exit(run.verdict("self-test and SMART end with the drive's sense, nothing hangs"))
