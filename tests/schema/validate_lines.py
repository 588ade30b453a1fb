#!/usr/bin/env python3
"""Checks every line in LINES_FILE against the output line schema.

Usage: validate_lines.py SCHEMA LINES_FILE. Exits 77 (skipped) when no
end-to-end run wrote LINES_FILE, 1 on the first bad line."""
import json
import sys

import jsonschema

schema_path, lines_path = sys.argv[1:3]
with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
try:
    # Strict UTF-8: the tool must never write anything else.
    with open(lines_path, encoding="utf-8", newline="\n") as f:
        lines = f.read().split("\n")
except FileNotFoundError:
    print(f"{lines_path}: no end-to-end lines to check")
    sys.exit(77)

if lines[-1] != "":
    sys.exit(f"last line not terminated: {lines[-1]!r}")


def no_duplicates(pairs):
    # A repeated member would be lost by the parser, so refuse it here.
    keys = [k for k, _ in pairs]
    if len(keys) != len(set(keys)):
        raise ValueError(f"duplicate member in {keys}")
    return dict(pairs)


def no_constant(token):
    raise ValueError(f"{token} is not JSON")


for number, line in enumerate(lines[:-1], 1):
    try:
        record = json.loads(line, object_pairs_hook=no_duplicates, parse_constant=no_constant)
    except ValueError as error:
        sys.exit(f"line {number}: {line}\n{error}")
    # The reasons under each failed branch, not just "matches no shape".
    reasons = [f"{list(e.absolute_path)}: {e.message}"
               for top in validator.iter_errors(record) for e in (top.context or [top])]
    if reasons:
        sys.exit(f"line {number}: {line}\n" + "\n".join(reasons))
print(f"{len(lines) - 1} lines valid")
