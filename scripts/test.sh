#!/usr/bin/env bash
# Builds and runs every test, tries the Debian package of a Release build,
# runs the tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# and ends with a short run of the fuzz targets (built with clang).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build.sh
ctest --test-dir build --output-on-failure
# A Release build, as a packager makes it, and the Debian package from it:
# installed, checked for hardening, run on the samples, removed again.
bash scripts/build.sh release
bash scripts/package-test.sh build-release

bash scripts/build.sh asan
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure

# A short libFuzzer run of every target in fuzz/ (longer: bash scripts/fuzz.sh 300).
bash scripts/fuzz.sh 10
