#!/usr/bin/env bash
# PDF benchmark: seconds per page of sorvi-ocr against the peer pipeline
# (pdftoppm -r 144, then one single-threaded tesseract per page) in the same
# run, the share of sorvi-ocr's time spent drawing pages, and its peak memory.
#   bash bench/pdf_bench.sh [document.pdf]    (default: a generated 50-page text document)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
doc=${1:-}
if [[ -z "$doc" ]]; then
  doc="$work/bench.pdf"
  python3 bench/make_bench_pdf.py "$doc" 50
fi
pages=$(pdfinfo "$doc" 2>/dev/null | awk '/^Pages:/ {print $2}')
pages=$(( pages < 50 ? pages : 50 ))
now() { date +%s.%N; }
calc() { awk "BEGIN { print $* }"; }

# sorvi-ocr with one job, like the peer's one page at a time
# (bench/parallel_bench.sh compares every core against every core), with its
# peak resident memory (the worker included: it is reaped before the tool exits).
start=$(now)
SORVI_OCR_JOBS=1 /usr/bin/time -v -o "$work/time.txt" build/sorvi-ocr "$doc" > "$work/sorvi.jsonl"
sorvi=$(calc "$(now) - $start")
peak_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")

# Its renderer alone, on the same pages.
render=$(build/sorvi_pdf_render_bench "$doc" | awk '{print $2}')

# The peer: render every page, then recognise each on one thread.
start=$(now)
pdftoppm -r 144 -l "$pages" "$doc" "$work/page"
peer_render=$(calc "$(now) - $start")
for image in "$work"/page-*.ppm; do
  OMP_THREAD_LIMIT=1 tesseract "$image" - > /dev/null 2>&1
done
peer=$(calc "$(now) - $start")

words=$(python3 -c 'import json,sys; print(len(json.loads(open(sys.argv[1]).readline()).get("text","").split()))' "$work/sorvi.jsonl")
printf 'document                 %s (%d pages read, %d words recognised)\n' "$doc" "$pages" "$words"
printf 'sorvi-ocr                %.3f s/page\n' "$(calc "$sorvi / $pages")"
printf 'peer                     %.3f s/page (pdftoppm %.3f s/page)\n' \
  "$(calc "$peer / $pages")" "$(calc "$peer_render / $pages")"
printf 'ratio sorvi/peer         %.2f (target <= 0.85)\n' "$(calc "$sorvi / $peer")"
printf 'sorvi drawing            %.3f s/page, %.1f %% of its recognition time (target < 10 %%)\n' \
  "$(calc "$render / $pages")" "$(calc "100 * $render / ($sorvi - $render)")"
printf 'sorvi peak memory        %.1f MB (target < 300 MB)\n' "$(calc "$peak_kb / 1024")"
