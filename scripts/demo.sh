#!/usr/bin/env bash
# Builds the tool and runs it on the sample files.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
build/sorvi-ocr samples/*
