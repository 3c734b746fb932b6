"""What a scenario's check.py reads: the guest's marked output and the disks.

A check is called as  check.py CONSOLE_LOG EXPECTED WORK_DIR  (EXPECTED holds
the scenario's disk lines as attached). It builds a Run, records problems with
run.problem(...) and ends with sys.exit(run.verdict("what passed")).
"""

import json
import re


class Disk:
    """One line of a scenario's disks file."""

    def __init__(self, line):
        fields = (line.rstrip("\n").split("|") + [""] * 10)[:10]
        (controller, target, self.vendor, self.product, self.revision, self.serial, size_mib, block,
         self.blockdev, self.options) = fields
        self.bus = int(controller)
        self.target_id = int(target)
        self.block_length = int(block)
        self.size_bytes = int(size_mib) * 1024 * 1024
        self.last_lba = self.size_bytes // self.block_length - 1


class Run:
    def __init__(self, argv):
        console_path, expected_path = argv[1], argv[2]
        self.work = argv[3] if len(argv) > 3 else None
        with open(console_path, encoding="utf-8", errors="replace") as f:
            log = f.read().replace("\r", "")
        with open(expected_path, encoding="utf-8") as f:
            self.disks = [Disk(line) for line in f if line.strip()]
        self.problems = []
        self.output, self.codes = self._sections(log)
        if "@@KESTRION-DONE" not in log:
            self.problem("the guest did not reach the end of its script (see the console above)")

    @staticmethod
    def _sections(log):
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

    def problem(self, text):
        self.problems.append(text)

    def stdout(self, name):
        return self.output.get(f"{name} stdout", "")

    def stderr(self, name):
        return self.output.get(f"{name} stderr", "")

    def status(self, name):
        """The command's exit status, or None (a problem) when it did not end."""
        if name not in self.codes:
            self.problem(f"`{name}` did not run to its end")
            return None
        return self.codes[name]

    def expect_status(self, name, wanted):
        status = self.status(name)
        if status is not None and status != wanted:
            self.problem(f"`{name}` ended with status {status}, expected {wanted}; stderr:\n{self.stderr(name)}")
        return status

    def json(self, name):
        try:
            return json.loads(self.stdout(name))
        except ValueError as error:
            self.problem(f"`{name}` did not print JSON: {error}")
            return None

    def verdict(self, passed):
        if self.problems:
            print("FAILED:")
            for text in self.problems:
                print("  " + text)
            return 1
        print("passed: " + passed)
        return 0
