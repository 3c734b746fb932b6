#!/usr/bin/env python3
"""WCE goes off and on again on QEMU's disk; what it cannot change is refused."""

import re
import sys

from qemu_console import Run

run = Run(sys.argv)


def caching_fields(name):
    report = run.json(name)
    try:
        return {field["name"]: field for field in report["pages"][0]["fields"]}
    except (TypeError, KeyError, IndexError):
        run.problem(f"`{name}` printed no caching page")
        return {}


def wce(name, wanted):
    if run.expect_status(name, 0) != 0:
        return
    field = caching_fields(name).get("wce", {})
    if field.get("current") is not wanted:
        run.problem(f"`{name}`: WCE is {field.get('current')!r}, expected {wanted!r}")


wce("before", True)
fields = caching_fields("before")
if fields.get("wce", {}).get("changeable") is not True:
    run.problem("WCE is not shown as changeable")
if fields.get("minimum_pre_fetch", {}).get("changeable") is not False:
    run.problem("Minimum Pre-fetch, which QEMU's disk cannot change, is shown as changeable")

for name in ("wce-off", "wce-on"):
    if run.expect_status(name, 0) == 0:
        if not re.search(r"^Caching Page 8 \(current values\) saved to /dev/sg\d+$", run.stdout(name), re.M):
            run.problem(f"`{name}` does not say which page was saved to which drive:\n{run.stdout(name)}")
wce("after-off", False)
if run.expect_status("after-on", 0) == 0:
    text = run.stdout("after-on")
    if not re.search(r"^  Field +Current \(hex\)$", text, re.M) or not re.search(r"^  WCE +1$", text, re.M):
        run.problem(f"`after-on` does not show WCE 1 under a hexadecimal Current column:\n{text}")

run.expect_status("fixed", 2)
if '"RCD" cannot be changed on this drive' not in run.stderr("fixed"):
    run.problem(f"`fixed` does not say RCD cannot be changed: {run.stderr('fixed')!r}")
# QEMU keeps no saved values: the save reads them first and sends nothing.
run.expect_status("saved", 1)
if "nothing was sent" not in run.stderr("saved"):
    run.problem(f"`saved` does not say nothing was sent: {run.stderr('saved')!r}")

sys.exit(run.verdict("WCE turned off and on again through MODE SELECT; unchangeable fields refused"))
