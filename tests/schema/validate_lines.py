#!/usr/bin/env python3
"""validate_lines.py SCHEMA LINES: every line of LINES must be one JSON object
valid under SCHEMA. Exits 77 (skipped) when no end-to-end run wrote LINES."""
import json
import sys

import jsonschema


def strict_object(pairs):
    # A repeated member would be lost by the parser, so refuse it here.
    if len({key for key, _ in pairs}) != len(pairs):
        raise ValueError(f"repeated member in {pairs}")
    return dict(pairs)


def no_constant(token):
    raise ValueError(f"{token} is not JSON")


with open(sys.argv[1], encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
try:
    with open(sys.argv[2], encoding="utf-8", newline="\n") as f:  # strict UTF-8
        lines = f.read().split("\n")
except FileNotFoundError:
    sys.exit(77)
if lines.pop() != "":
    sys.exit("the last line is not terminated")
for number, line in enumerate(lines, 1):
    try:
        record = json.loads(line, object_pairs_hook=strict_object, parse_constant=no_constant)
    except ValueError as error:
        sys.exit(f"line {number}: {line}\n{error}")
    # The reasons under each failed branch, not just "matches no shape".
    reasons = [f"{list(e.absolute_path)}: {e.message}"
               for top in validator.iter_errors(record) for e in (top.context or [top])]
    if reasons:
        sys.exit(f"line {number}: {line}\n" + "\n".join(reasons))
print(f"{len(lines)} lines valid")
