#!/usr/bin/env bash
# Builds into build/ (RelWithDebInfo), build-asan/ with "asan" (Debug, with
# the sanitizers) or build-release/ with "release" (Release, as a packager
# builds), installing what is missing. Warnings are errors here; a user's or
# a packager's build only shows them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

case "${1:-}" in
  asan) dir=build-asan options=(-DCMAKE_BUILD_TYPE=Debug -DSORVI_SANITIZE=ON) ;;
  release) dir=build-release options=(-DCMAKE_BUILD_TYPE=Release) ;;
  *) dir=build options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
esac
cmake -S . -B "$dir" "${options[@]}" -DSORVI_WERROR=ON
cmake --build "$dir" -j"$(nproc)"
