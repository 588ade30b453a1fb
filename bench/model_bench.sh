#!/usr/bin/env bash
# Text models before and after the rewrites for speed, in one process: the
# graphs as rewritten with --plain (what the build made before those
# rewrites) against build/models, on real line crops of the scene photos and
# the receipts. Prints the largest output differences, any line read
# differently, and the detector's (960x544) and recogniser's (per line)
# times and ratios, the two interleaved round by round.
#
#   bash bench/model_bench.sh [ROUNDS]   (default 15)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="$root/../shared/corpus"
cd "$root"
nice -n 5 bash scripts/build.sh >/dev/null
plain="$(mktemp -d)"
trap 'rm -rf "$plain"' EXIT
/usr/bin/python3 models/rewrite_for_opencv.py models "$plain" --plain
mapfile -t images < <(find "$corpus/scene" "$corpus/ocr-gt" -maxdepth 1 -type f \
  \( -name '*.jpg' -o -name '*.png' \) \( -path '*scene*' -o -name 'sroie_*' \) | sort)
echo "$(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg)"
build/sorvi_model_bench "$plain" build/models "${1:-15}" "${images[@]}"
