#!/usr/bin/env bash
# Fails on any warning groff (as man shows the page) or mandoc gives for PAGE.
set -euo pipefail
page="$1"
groff_says=$(groff -man -ww -z "$page" 2>&1)
[[ -z "$groff_says" ]] || { echo "groff: $groff_says"; exit 1; }
mandoc -T lint -W warning "$page"
# What man itself prints on the way to the screen.
man_says=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
[[ -z "$man_says" ]] || { echo "man: $man_says"; exit 1; }
