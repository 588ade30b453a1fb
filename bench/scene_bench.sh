#!/usr/bin/env bash
# Text in photos: runs sorvi-ocr (one job) and the tesseract command (one
# thread) on the photos of SCENE_DIR, scores both as bags of words per set
# with the shared scorer, and times them; then runs bench/run.sh on the
# documents (upright only) and the textless photos, for CER and seconds.
#
#   bash bench/scene_bench.sh [SCENE_DIR]   (default ../shared/corpus/scene)
#
# BENCH_BEFORE=/path/to/older/sorvi-ocr adds that build's runs beside this one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
scene_dir="$(cd "${1:-$root/../shared/corpus/scene}" && pwd)"
scorer="$root/../shared/tools/scene_score.py"
python=/usr/bin/python3

cd "$root"
bash scripts/build.sh >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

mapfile -t photos < <(find "$scene_dir" -maxdepth 1 -type f \( -name '*.jpg' -o -name '*.png' \) | sort)
echo "${#photos[@]} photos from $scene_dir; $(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg)"

seconds_per_photo() { awk -v a="$1" -v b="$(date +%s.%N)" -v n="${#photos[@]}" 'BEGIN { printf "%.3f", (b - a) / n }'; }

# run LABEL COMMAND...: the photos through one command line, JSON lines out.
run() {
  local label="$1" start
  shift
  start=$(date +%s.%N)
  env -u OMP_THREAD_LIMIT SORVI_OCR_JOBS=1 "$@" "${photos[@]}" >"$work/$label.jsonl" 2>/dev/null || true
  echo "$label: $(seconds_per_photo "$start") s per photo"
  "$python" "$scorer" "$scene_dir" "$work/$label.jsonl" | sed -n '/^set /,$p'
  echo
}

[[ -n "${BENCH_BEFORE:-}" ]] && run before "$BENCH_BEFORE"
run sorvi-ocr "$root/build/sorvi-ocr"

start=$(date +%s.%N)
for photo in "${photos[@]}"; do
  OMP_THREAD_LIMIT=1 tesseract "$photo" - 2>/dev/null |
    "$python" -c 'import json, sys; print(json.dumps({"path": sys.argv[1], "text": sys.stdin.read()}))' "$photo"
done >"$work/tesseract.jsonl"
echo "tesseract: $(seconds_per_photo "$start") s per photo"
"$python" "$scorer" "$scene_dir" "$work/tesseract.jsonl" | sed -n '/^set /,$p'

echo
echo "Documents (CER) and textless photos (seconds):"
BENCH_GROUPS="upright photos" bash "$root/bench/run.sh"
