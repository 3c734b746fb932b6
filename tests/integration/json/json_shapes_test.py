#!/usr/bin/env python3
"""Every command's --json document, on success and on failure, has the shape
its schema under docs/json gives; so has every example in docs/json.md.

json_shapes_test.py CLI DOCS_DIR DATA_DIR"""

import json
import os
import re
import subprocess
import sys
import tempfile

import jsonschema

cli, docs, data = map(os.path.abspath, sys.argv[1:4])
schemas = os.path.join(docs, "json")
work = tempfile.mkdtemp()
failures = []


def load_schemas():
    found = {}
    for name in os.listdir(schemas):
        path = os.path.join(schemas, name)
        with open(path) as f:
            found["file://" + os.path.abspath(path)] = json.load(f)
    return found


SCHEMAS = load_schemas()
try:
    from referencing import Registry, Resource
    from referencing.jsonschema import DRAFT202012

    REGISTRY = Registry().with_resources(
        (uri, Resource.from_contents(schema, default_specification=DRAFT202012)) for uri, schema in SCHEMAS.items())
except ImportError:  # releases before 4.18 resolve through RefResolver alone
    REGISTRY = None


def validator(command):
    uri = "file://" + os.path.join(schemas, (command or "envelope") + ".schema.json")
    schema = dict(SCHEMAS[uri], **{"$id": uri})
    if REGISTRY is not None:
        return jsonschema.Draft202012Validator(schema, registry=REGISTRY)
    resolver = jsonschema.RefResolver(base_uri=uri, referrer=schema, store=SCHEMAS)
    return jsonschema.Draft202012Validator(schema, resolver=resolver)


def check(where, document, status=None):
    if not isinstance(document, dict):
        failures.append(f"{where}: not a JSON object")
        return
    if status is not None and document.get("exit_status") != status:
        failures.append(f"{where}: exit_status {document.get('exit_status')!r}, the program exited {status}")
    command = document.get("command")
    if command is not None and "file://" + os.path.join(schemas, command + ".schema.json") not in SCHEMAS:
        failures.append(f"{where}: no schema for the command {command!r}")
        return
    for error in validator(command).iter_errors(document):
        failures.append(f"{where}: {'/'.join(map(str, error.absolute_path))}: {error.message}")


with open(os.path.join(work, "fw.lod"), "wb") as f:
    f.write(bytes(range(256)) * 512)
with open(os.path.join(work, "quick.json"), "w") as f:
    f.write('{"buses": 1, "devices": [{"bus": 0, "targetId": 0, "vendor": "MORVANE", "product": "MVX-18LW",'
            ' "revision": "0412", "blocks": 1000, "microcode": {"restartSeconds": 0}}]}')
quick = os.path.join(work, "quick.json")
faults = os.path.join(data, "legacytest", "faults.json")
log = os.path.join(work, "dst.log")

# Exit status and arguments; each command on success and on its failures.
CASES = [
    (0, ["--bench", "list"]),
    (2, ["--bench", os.path.join(work, "none.json"), "list"]),
    (0, ["--bench", "inquiry", "naa.359cce7a3ab40c7b"]),
    (1, ["--bench", "inquiry", "6"]),
    (3, ["--bench", "inquiry", "63"]),
    (0, ["--bench", "smart", "0"]),
    (1, ["--bench", "smart", "3"]),
    (0, ["--bench", "modes", "3"]),
    (0, ["--bench", "modes", "0", "--page", "8", "--set", "WCE=0", "--current"]),
    (1, ["--bench", "modes", "0", "--page", "1C", "--set", "Test=1", "--set", "DExcpt=1", "--current"]),
    (2, ["--bench", "modes", "0", "--page", "8", "--set", "WCE", "--current"]),
    (0, ["--bench", "selftest", "--quick", "0", "--poll", "1", "--log", log]),
    (3, ["--bench", "selftest", "--quick", "3KB1109"]),
    (0, ["--bench", quick, "test", "--subtests", "0", "0"]),
    (1, ["--bench", faults, "test", "--subtests", "0,8,9", "2", "1"]),
    (0, ["--bench", quick, "scan", "0"]),
    (1, ["--bench", "scan", "2", "--from", "36970000", "--to", "36975000"]),
    (2, ["--bench", "scan", "0", "--from", "99999999999"]),
    (0, ["--bench", quick, "download", os.path.join(work, "fw.lod"), "0", "--yes"]),
    (1, ["--bench", quick, "download", os.path.join(work, "fw.lod"), "0"]),
    (2, ["--bench", "download", os.path.join(work, "none.lod"), "0", "--yes"]),
    (2, ["--bench", "list", "--frobnicate"]),
    (2, ["--bench"]),
]

for status, arguments in CASES:
    where = "kestrion-cli " + " ".join(arguments) + " --json"
    done = subprocess.run([cli] + arguments + ["--json"], stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=120, cwd=work)
    if done.returncode != status:
        failures.append(f"{where}: exited {done.returncode}, expected {status}\n{done.stderr.decode()}")
    try:
        document = json.loads(done.stdout)
    except ValueError as error:
        failures.append(f"{where}: stdout is no JSON document ({error}):\n{done.stdout.decode()[:400]}")
        continue
    check(where, document, done.returncode)

# The documented examples: every ```json block of docs/json.md.
with open(os.path.join(docs, "json.md")) as f:
    examples = re.findall(r"```json\n(.*?)```", f.read(), re.S)
commands = set()
for number, text in enumerate(examples, 1):
    try:
        document = json.loads(text)
    except ValueError as error:
        failures.append(f"docs/json.md example {number}: no JSON ({error})")
        continue
    commands.add(document.get("command"))
    check(f"docs/json.md example {number}", document)
for schema in os.listdir(schemas):
    command = schema.removesuffix(".schema.json")
    if command != "envelope" and command not in commands:
        failures.append(f"docs/json.md shows no example of {command}")

print("\n".join("FAILED: " + failure for failure in failures))
print(f"{len(CASES)} commands and {len(examples)} examples checked, {len(failures)} failures")
sys.exit(1 if failures else 0)
