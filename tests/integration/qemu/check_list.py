#!/usr/bin/env python3
"""Checks the guest's console log against the disks QEMU was given.

usage: check_list.py CONSOLE_LOG EXPECTED

EXPECTED holds one disk a line: controller|scsi-id|vendor|product|revision|
serial|size in MiB|logical block size. Exit status 0 when every disk was
listed as told, 1 otherwise.
"""

import json
import re
import sys


def sections(log):
    """The marked sections and return codes the guest printed."""
    found, codes = {}, {}
    current, lines = None, []
    for line in log.splitlines():
        begin = re.match(r"@@KESTRION-BEGIN (\S+ \S+)$", line)
        if begin:
            current, lines = begin.group(1), []
            continue
        if re.match(r"@@KESTRION-END ", line) and current:
            found[current] = "\n".join(lines)
            current = None
            continue
        rc = re.match(r"@@KESTRION-RC (\S+) (\d+)$", line)
        if rc:
            codes[rc.group(1)] = int(rc.group(2))
            continue
        if current:
            lines.append(line)
    return found, codes


def main():
    console_path, expected_path = sys.argv[1], sys.argv[2]
    with open(console_path, encoding="utf-8", errors="replace") as f:
        log = f.read().replace("\r", "")
    problems = []
    if "@@KESTRION-DONE" not in log:
        problems.append("the guest did not reach the end of its script (see the console above)")
    found, codes = sections(log)

    for name, command in (("list-json", "list --json"), ("trace-list", "--trace list")):
        if name not in codes:
            problems.append(f"`kestrion-cli {command}` did not run to its end")
        elif codes[name] != 0:
            problems.append(f"`kestrion-cli {command}` ended with status {codes[name]}")

    try:
        drives = json.loads(found.get("list-json stdout", ""))
    except ValueError as error:
        drives = []
        problems.append(f"`kestrion-cli list --json` did not print JSON: {error}")
    if not isinstance(drives, list):
        problems.append("`kestrion-cli list --json` did not print an array")
        drives = []

    expected = []
    with open(expected_path, encoding="utf-8") as f:
        for line in f:
            if line.strip():
                controller, target, vendor, product, revision, _serial, size_mib, block = line.rstrip("\n").split("|")
                block_length = int(block)
                expected.append({"bus": int(controller), "targetId": int(target), "vendor": vendor,
                                 "product": product, "revision": revision,
                                 "lastLba": int(size_mib) * 1024 * 1024 // block_length - 1,
                                 "blockLength": block_length})

    if len(drives) != len(expected):
        problems.append(f"{len(drives)} drives listed, {len(expected)} attached")
    paths = [drive.get("drive") for drive in drives if isinstance(drive, dict)]
    if len(set(paths)) != len(paths) or not all(isinstance(p, str) and p.startswith("/dev/sg") for p in paths):
        problems.append(f"drive paths are not distinct /dev/sg nodes: {paths}")

    for disk in expected:
        matches = [d for d in drives if isinstance(d, dict)
                   and d.get("bus") == disk["bus"] and d.get("targetId") == disk["targetId"]]
        where = f"bus {disk['bus']} target {disk['targetId']}"
        if len(matches) != 1:
            problems.append(f"{where}: {len(matches)} drives listed there, "
                            f"expected 1 ({disk['vendor']} {disk['product']})")
            continue
        for key in ("vendor", "product", "revision", "lastLba", "blockLength"):
            if matches[0].get(key) != disk[key]:
                problems.append(f"{where}: {key} is {matches[0].get(key)!r}, QEMU was told {disk[key]!r}")

    trace = found.get("trace-list stdout", "")
    if "Number of buses" not in trace:
        problems.append("the discovery trace shows no adapter list")
    for disk in expected:
        if f"{disk['vendor']:<8}{disk['product']:<16}" not in trace:
            problems.append(f"the discovery trace does not list {disk['vendor']} {disk['product']}")

    if problems:
        print("FAILED:")
        for problem in problems:
            print("  " + problem)
        return 1
    print(f"passed: {len(expected)} disks listed as attached")
    return 0


if __name__ == "__main__":
    sys.exit(main())
