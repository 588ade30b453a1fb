#!/usr/bin/env bash
# Same bytes however the tool is run: reads every image and PDF of a folder
# (default: the shared corpus) alone (one process per file), in one batch
# with one job and with two, and in one batch with every core kept busy by
# another process, and prints the files whose line differs between runs.
#
#   bash bench/same_output.sh [DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$(cd "${1:-$root/../shared/corpus}" && pwd)"
cd "$root"
bash scripts/build.sh >/dev/null
tool="$root/build/sorvi-ocr"
work="$(mktemp -d)"
busy=()
cleanup() {
  ((${#busy[@]})) && kill "${busy[@]}" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The tool reads .tiff, not .tif: links under names it reads, the same in
# every run, so that the lines compare byte for byte.
find "$dir" -type f \( -iname '*.png' -o -iname '*.jpg' -o -iname '*.jpeg' -o -iname '*.tif' \
  -o -iname '*.tiff' -o -iname '*.webp' -o -iname '*.heic' -o -iname '*.pdf' \) | sort |
  while read -r file; do
    name="${file#"$dir"/}"
    name="${name//\//__}"
    ln -s "$file" "$work/${name%.tif}$([[ "$name" == *.tif ]] && echo .tiff)"
  done
cd "$work"
mapfile -t files < <(ls)
echo "${#files[@]} files; $(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg)"

timed() {
  local label="$1" start=$SECONDS
  shift
  "$@" >"$label.out" 2>/dev/null || true
  echo "$label: $((SECONDS - start)) s"
}
alone() { for file in "${files[@]}"; do SORVI_OCR_JOBS=1 "$tool" "$file"; done; }
timed alone alone
timed jobs1 env SORVI_OCR_JOBS=1 "$tool" "${files[@]}"
timed jobs2 env SORVI_OCR_JOBS=2 "$tool" "${files[@]}"
for ((core = 0; core < $(nproc); ++core)); do
  yes >/dev/null &
  busy+=($!)
done
timed busy "$tool" "${files[@]}"

python3 - "${files[@]}" <<'PY'
import json, sys
runs = {label: open(f"{label}.out", "rb").read().splitlines() for label in ("alone", "jobs1", "jobs2", "busy")}
count = len(sys.argv) - 1
for label, lines in runs.items():
    if len(lines) != count:
        print(f"{label}: {len(lines)} lines for {count} files")
differ = 0
for i in range(min(len(lines) for lines in runs.values())):
    distinct = {lines[i] for lines in runs.values()}
    if len(distinct) > 1:
        differ += 1
        path = json.loads(runs["alone"][i])["path"]
        groups = {}
        for label, lines in runs.items():
            groups.setdefault(lines[i], []).append(label)
        print(f"differs: {path}: " + " | ".join(" ".join(g) for g in groups.values()))
print(f"{differ} of {count} files differ between the runs")
PY
