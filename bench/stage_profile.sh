#!/usr/bin/env bash
# Where the time of a reading goes: runs bench/stage_profile.cpp (the
# workers' reading, every stage timed, one thread) per class of image and
# prints, per class, the seconds per image of each stage and how often it
# runs.
#
#   bash bench/stage_profile.sh [CLASS=DIR ...]
#
# Default classes: documents (../shared/corpus/ocr-gt), screenshots (made by
# bench/make_screenshots.sh), textless photos (exif/), photos with text
# (scene/), PDF pages (the first two pages of the corpus PDFs, drawn at
# 144 dpi as the tool draws them).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="$root/../shared/corpus"
cd "$root"
bash scripts/build.sh >/dev/null
cmake --build build --target sorvi_stage_profile >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

if (($# == 0)); then
  mkdir -p "$work/pdf"
  for pdf in "$corpus"/pdf/*.pdf; do
    timeout 20 pdftoppm -r 144 -l 2 -png "$pdf" "$work/pdf/$(basename "$pdf" .pdf)" 2>/dev/null || true
  done
  set -- documents="$corpus/ocr-gt" screenshots="$(bash bench/make_screenshots.sh)" \
    textless="$corpus/exif" scene="$corpus/scene" pdf-pages="$work/pdf"
fi

echo "$(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg)"
for class in "$@"; do
  name="${class%%=*}"
  dir="$(cd "${class#*=}" && pwd)"
  mkdir -p "$work/$name"
  # The tool reads .tiff, not .tif.
  find "$dir" -maxdepth 1 -type f \( -iname '*.png' -o -iname '*.jpg' -o -iname '*.jpeg' \
    -o -iname '*.tif' -o -iname '*.tiff' -o -iname '*.webp' -o -iname '*.heic' \) | sort |
    while read -r file; do
      base="$(basename "$file")"
      ln -s "$file" "$work/$name/${base%.tif}$([[ "$base" == *.tif ]] && echo .tiff)"
    done
  # The first reading of a process pays for setting up the models: a
  # throw-away image takes it. Malloc is set up as the tool sets up its
  # workers (workerEnvironment).
  GLIBC_TUNABLES=glibc.malloc.hugetlb=1 OMP_THREAD_LIMIT=1 build/sorvi_stage_profile samples/market_signs.jpg "$work/$name"/* |
    tail -n +2 >"$work/$name.jsonl"
done

python3 - "$work" "$@" <<'EOF'
import json, sys
work, classes = sys.argv[1], [c.split("=")[0] for c in sys.argv[2:]]
stages = ["decode", "look", "page", "orientation", "detector", "lines"]
print(f"| class | images | s/image | " + " | ".join(f"{s} s/img (calls/img)" for s in stages) + " | slowest |")
print("|---" * (len(stages) + 4) + "|")
for name in classes:
    records = [json.loads(l) for l in open(f"{work}/{name}.jsonl")]
    n = len(records)
    if n == 0:
        continue
    total = sum(r["total"] for r in records)
    cells = []
    for s in stages:
        sec = sum(r.get(s, {}).get("seconds", 0) for r in records)
        calls = sum(r.get(s, {}).get("calls", 0) for r in records)
        cells.append(f"{sec / n:.3f} ({calls / n:.1f})")
    slowest = max(records, key=lambda r: r["total"])
    print(f"| {name} | {n} | {total / n:.3f} | " + " | ".join(cells) +
          f" | {slowest['total']:.1f} s {slowest['path'].rsplit('/', 1)[-1]} |")
EOF
