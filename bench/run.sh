#!/usr/bin/env bash
# OCR benchmark: runs sorvi-ocr (one process per group of images) and the
# tesseract command (one process per image, OMP_THREAD_LIMIT=1) on
#   upright  the images of IMAGE_DIR that have ground truth (NAME.gt.txt),
#   rot90, rot180, rot270  copies of them turned clockwise, with no tag,
#   photos   the photos of PHOTO_DIR (little or no text; timed only),
# then prints per image and per group character and word error rates and
# seconds per image.
#
#   bash bench/run.sh [IMAGE_DIR [PHOTO_DIR]]
#       (defaults: ../shared/corpus/ocr-gt and ../shared/corpus/exif)
#
# BENCH_BEFORE=/path/to/sorvi-ocr adds the runs of another build of the tool
# (e.g. the last release), group by group beside this one, for a before and
# after table in the same conditions. BENCH_ENGINE=1 adds a run of the
# recognizer alone, in-process, on images decoded by the tool's image layer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source_dir="$(cd "${1:-$root/../shared/corpus/ocr-gt}" && pwd)"
photo_dir="$(cd "${2:-$root/../shared/corpus/exif}" && pwd)"

cd "$root"
bash scripts/build.sh >/dev/null
build="$root/build"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
manifest="$work/manifest.tsv"
: >"$manifest"

# Every image that has ground truth; the turned copies are lossless PNG
# without metadata.
mkdir -p "$work/upright" "$work/rot90" "$work/rot180" "$work/rot270" "$work/photos"
source "$root/bench/ground_truth.sh"
while read -r link; do
  printf 'image\tupright\t%s\n' "$link" >>"$manifest"
  name="$(basename "${link%.*}")"
  for angle in 90 180 270; do
    convert "$link" -rotate "$angle" +profile '*' -strip "$work/rot$angle/$name.png"
  done
done < <(link_ground_truth_images "$source_dir" "$work/upright")
grep -q upright "$manifest" || { echo "no images with ground truth in $source_dir" >&2; exit 1; }
for angle in 90 180 270; do
  for file in "$work/rot$angle"/*.png; do
    printf 'image\trot%s\t%s\n' "$angle" "$file" >>"$manifest"
  done
done
for file in "$photo_dir"/*; do
  ext="$(tr '[:upper:]' '[:lower:]' <<<"${file##*.}")"
  case "$ext" in
    jpg | jpeg | png | tiff | webp | heic) ;;
    tif) ext=tiff ;;
    heif) ext=heic ;;
    *) continue ;;
  esac
  link="$work/photos/$(basename "${file%.*}").$ext"
  ln -s "$file" "$link"
  printf 'image\tphotos\t%s\n' "$link" >>"$manifest"
done
echo "$(grep -c '^image' "$manifest") images from $source_dir (upright and turned) and $photo_dir;" \
  "$(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg)"

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
images_of() { awk -F'\t' -v g="$1" '$1 == "image" && $2 == g { print $3 }' "$manifest"; }

# tool LABEL GROUP BINARY: one process for the group's images.
tool() {
  local out="$work/$2.$(tr -c 'a-z0-9' _ <<<"$1").jsonl"
  local -a images
  mapfile -t images < <(images_of "$2")
  local start
  start=$(now)
  # One job, like the peer's one command at a time (bench/parallel_bench.sh
  # compares every core against every core).
  env -u OMP_THREAD_LIMIT SORVI_OCR_JOBS=1 "$3" "${images[@]}" >"$out" 2>"$out.err" || true
  printf 'run\t%s\t%s\t%s\t%s\n' "$1" "$2" "$(elapsed "$start" "$(now)")" "$out" >>"$manifest"
  [[ -s "$out.err" ]] && echo "warning: $1 wrote to standard error" >&2
  return 0
}

# peer GROUP: the tesseract command once per image.
peer() {
  local out="$work/$1.tesseract"
  mkdir -p "$out"
  local start image
  start=$(now)
  while read -r image; do
    OMP_THREAD_LIMIT=1 tesseract "$image" - >"$out/$(basename "${image%.*}").txt" 2>/dev/null || true
  done < <(images_of "$1")
  printf 'run\t%s\t%s\t%s\t%s\n' "tesseract" "$1" "$(elapsed "$start" "$(now)")" "$out" >>"$manifest"
}

# BENCH_GROUPS limits the run to some of them (e.g. "upright photos").
for group in ${BENCH_GROUPS:-upright rot90 rot180 rot270 photos}; do
  [[ -n "${BENCH_BEFORE:-}" ]] && tool "before" "$group" "$BENCH_BEFORE"
  tool "sorvi-ocr" "$group" "$build/sorvi-ocr"
  [[ "${BENCH_ENGINE:-0}" == 1 ]] && tool "recognizer alone" "$group" "$build/sorvi_bench_engine"
  peer "$group"
done
echo "load after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"

echo
"$build/sorvi_bench_score" "$source_dir" "tesseract" "$manifest"
