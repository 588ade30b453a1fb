#!/usr/bin/env bash
# Parallel benchmark: wall seconds of sorvi-ocr with one job and with the
# default job count, against the peer run on every core (GNU parallel over
# single-threaded tesseract commands), on the OCR images with ground truth
# and on a generated 50-page text document (the peer draws it with pdftoppm
# -r 144 first). Also checks that both job counts write the same bytes and
# prints the peak resident memory of all of the tool's processes.
#   bash bench/parallel_bench.sh [IMAGE_DIR]     (default: ../shared/corpus/ocr-gt)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source_dir="$(cd "${1:-$root/../shared/corpus/ocr-gt}" && pwd)"
cd "$root"
bash scripts/build.sh >/dev/null
tool="$root/build/sorvi-ocr"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

source "$root/bench/ground_truth.sh"
mapfile -t images < <(link_ground_truth_images "$source_dir" "$work")
doc="$work/bench.pdf"
python3 bench/make_bench_pdf.py "$doc" 50
cores=$(nproc)

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.3f\", $* }"; }

# CPU seconds (user + system) of all children this shell waited for so far;
# `times` runs here, not in a subshell, which would have no children.
children_cpu() {
  times >"$work/times"
  tail -n1 "$work/times" | awk '{ s = 0; for (i = 1; i <= 2; i++) { split($i, t, "m"); sub("s", "", t[2]); s += t[1] * 60 + t[2] } printf "%.3f", s }'
}

# timed NAME command...: wall seconds of the command into $NAME, its CPU
# seconds, every process included, into ${NAME}_cpu.
timed() {
  local name=$1 start cpu
  shift
  children_cpu >"$work/cpu"
  cpu=$(<"$work/cpu")
  start=$(now)
  "$@"
  printf -v "$name" '%s' "$(calc "$(now) - $start")"
  children_cpu >"$work/cpu"
  printf -v "${name}_cpu" '%s' "$(calc "$(<"$work/cpu") - $cpu")"
}

sorvi() { # JOBS OUT PEAK_FILE paths...
  local jobs=$1 out=$2 peak=$3
  shift 3
  if [[ "$jobs" == default ]]; then
    env -u SORVI_OCR_JOBS python3 bench/peak_rss.py "$peak" "$tool" "$@" >"$out"
  else
    SORVI_OCR_JOBS=$jobs python3 bench/peak_rss.py "$peak" "$tool" "$@" >"$out"
  fi
}

peer_images() {
  parallel --will-cite -j"$cores" 'OMP_THREAD_LIMIT=1 tesseract {} - >/dev/null 2>&1' ::: "$@"
}

peer_pdf() {
  mkdir -p "$work/pages"
  pdftoppm -r 144 -l 50 "$doc" "$work/pages/page"
  peer_images "$work"/pages/page-*.ppm
}

echo "${#images[@]} images from $source_dir; a 50-page text PDF; $cores CPUs; load $(cut -d' ' -f1-3 /proc/loadavg)"
timed img_one sorvi 1 "$work/img1.jsonl" "$work/img1.peak" "${images[@]}"
timed img_default sorvi default "$work/imgN.jsonl" "$work/imgN.peak" "${images[@]}"
timed img_peer peer_images "${images[@]}"
timed pdf_one sorvi 1 "$work/pdf1.jsonl" "$work/pdf1.peak" "$doc"
timed pdf_default sorvi default "$work/pdfN.jsonl" "$work/pdfN.peak" "$doc"
timed pdf_peer peer_pdf

# Paths whose records differ; on a loaded machine a recognition can pass
# its 10 s limit in one run and not in the other.
same() {
  cmp -s "$1" "$2" && { echo "byte-identical"; return; }
  python3 - "$1" "$2" <<'PY'
import json, sys
one, other = ([json.loads(line) for line in open(f)] for f in sys.argv[1:])
differ = [a["path"].rsplit("/", 1)[-1] + (" (text in one run only)" if ("text" in a) != ("text" in b) else "")
          for a, b in zip(one, other) if a != b]
print("DIFFERENT:", "; ".join(differ) if differ else "line count")
PY
}
echo
printf '| run | images s | vs peer | CPU s | PDF s | vs peer | vs 1 job | CPU s | peak MB (images / PDF) |\n'
printf '|---|---|---|---|---|---|---|---|---|\n'
printf '| sorvi-ocr SORVI_OCR_JOBS=1 | %s | %s | %s | %s | %s | 1.00 | %s | %s / %s |\n' \
  "$img_one" "$(calc "$img_one / $img_peer")" "$img_one_cpu" \
  "$pdf_one" "$(calc "$pdf_one / $pdf_peer")" "$pdf_one_cpu" \
  "$(cat "$work/img1.peak")" "$(cat "$work/pdf1.peak")"
printf '| sorvi-ocr default (%s jobs) | %s | %s | %s | %s | %s | %s | %s | %s / %s |\n' "$cores" \
  "$img_default" "$(calc "$img_default / $img_peer")" "$img_default_cpu" \
  "$pdf_default" "$(calc "$pdf_default / $pdf_peer")" "$(calc "$pdf_default / $pdf_one")" \
  "$pdf_default_cpu" "$(cat "$work/imgN.peak")" "$(cat "$work/pdfN.peak")"
printf '| peer: parallel -j%s tesseract (PDF: pdftoppm -r 144 first) | %s | 1.00 | %s | %s | 1.00 | | %s | |\n' \
  "$cores" "$img_peer" "$img_peer_cpu" "$pdf_peer" "$pdf_peer_cpu"
echo
echo "targets: default <= 0.85x peer on images and PDF; default <= 0.60x one job on the PDF"
echo "load after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "images: one job and default $(same "$work/img1.jsonl" "$work/imgN.jsonl"); PDF: $(same "$work/pdf1.jsonl" "$work/pdfN.jsonl")"
