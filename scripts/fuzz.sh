#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ and runs
# each for a while (seconds per target, 20 unless given), starting from its
# seeds in fuzz/corpus/<target>/. Fails on the first crash, leak, timeout or
# failed check; the input that caused it is left in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
bash scripts/install-deps.sh

# -O1 with line tables: quick to build, fast enough to run, readable stacks;
# clang's warnings are errors here too.
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=None "-DCMAKE_CXX_FLAGS=-O1 -gline-tables-only" \
  -DCMAKE_CXX_COMPILER=clang++ -DSORVI_FUZZ=ON -DBUILD_TESTING=OFF -DSORVI_WERROR=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target sorvi_fuzzers

while read -r target; do
  corpus="build-fuzz/corpus/$target"
  artifacts="build-fuzz/artifacts/$target/"
  log="build-fuzz/$target.log"
  mkdir -p "$corpus" "$artifacts"
  seeds=()
  [[ -d "fuzz/corpus/$target" ]] && seeds=("fuzz/corpus/$target")
  # The first directory collects new inputs; the committed seeds stay as they are.
  if ! "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts" "$corpus" "${seeds[@]}" \
    </dev/null >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz: $target failed; see $log and $artifacts" >&2
    exit 1
  fi
  stat() { awk -v key="stat::$1:" '$1 == key { print $2; exit }' "$log"; }
  echo "fuzz: $target: $(stat number_of_executed_units) runs in ${seconds}s" \
    "($(stat average_exec_per_sec)/s, $(stat new_units_added) new inputs), no failure"
done <build-fuzz/fuzz/targets.txt
