#!/usr/bin/env bash
# Builds into build/ (or build-asan/ with "asan"), installing what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

if [[ "${1:-}" == "asan" ]]; then
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DSORVI_SANITIZE=ON
  cmake --build build-asan -j"$(nproc)"
else
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build -j"$(nproc)"
fi
