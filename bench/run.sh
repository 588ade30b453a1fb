#!/usr/bin/env bash
# OCR benchmark: runs sorvi-ocr (one process for all images) and the
# tesseract command (one process per image, with and without
# OMP_THREAD_LIMIT=1) on the same images, then prints seconds per image,
# time ratios and the character error rate of each against NAME.gt.txt.
#
#   bash bench/run.sh [IMAGE_DIR]     (default: ../shared/corpus/ocr-gt)
#
# Set BENCH_ENGINE=1 to add a run of the recognizer alone, in-process, on
# images decoded by the tool's image layer (no worker, no pipeline).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source_dir="$(cd "${1:-$root/../shared/corpus/ocr-gt}" && pwd)"

cd "$root"
bash scripts/build.sh >/dev/null
build="$root/build"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Every image that has ground truth; .tif is linked as .tiff, which the
# tool accepts.
images=()
for gt in "$source_dir"/*.gt.txt; do
  name="$(basename "$gt" .gt.txt)"
  for file in "$source_dir/$name".*; do
    [[ "$file" == "$gt" ]] && continue
    ext="${file##*.}"
    [[ "$ext" == tif ]] && ext=tiff
    ln -s "$file" "$work/$name.$ext"
    images+=("$work/$name.$ext")
    break
  done
done
((${#images[@]} > 0)) || { echo "no images with ground truth in $source_dir" >&2; exit 1; }
echo "${#images[@]} images from $source_dir; $(nproc) cores"

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

# peer LABEL_DIR ENV...: the tesseract command once per image.
peer() {
  local out="$work/$1"
  shift
  mkdir -p "$out"
  local start
  start=$(now)
  for image in "${images[@]}"; do
    local name
    name="$(basename "${image%.*}")"
    env "$@" tesseract "$image" - >"$out/$name.txt" 2>/dev/null || true
  done
  elapsed "$start" "$(now)"
}

runs=()
start=$(now)
# One job, like the peer's one command at a time (bench/parallel_bench.sh
# compares every core against every core).
env -u OMP_THREAD_LIMIT SORVI_OCR_JOBS=1 "$build/sorvi-ocr" "${images[@]}" >"$work/sorvi.jsonl" 2>"$work/sorvi.err" || true
runs+=("sorvi-ocr" "$(elapsed "$start" "$(now)")" "$work/sorvi.jsonl")
[[ -s "$work/sorvi.err" ]] && echo "warning: sorvi-ocr wrote to standard error" >&2

if [[ "${BENCH_ENGINE:-0}" == 1 ]]; then
  start=$(now)
  env -u OMP_THREAD_LIMIT "$build/sorvi_bench_engine" "${images[@]}" >"$work/engine.jsonl"
  runs+=("recognizer alone" "$(elapsed "$start" "$(now)")" "$work/engine.jsonl")
fi

seconds=$(peer tesseract-limit1 OMP_THREAD_LIMIT=1)
runs+=("tesseract OMP_THREAD_LIMIT=1" "$seconds" "$work/tesseract-limit1")
seconds=$(peer tesseract-default -u OMP_THREAD_LIMIT)
runs+=("tesseract (default env)" "$seconds" "$work/tesseract-default")

echo
"$build/sorvi_bench_score" "$source_dir" "tesseract OMP_THREAD_LIMIT=1" -- "${images[@]}" -- "${runs[@]}"
