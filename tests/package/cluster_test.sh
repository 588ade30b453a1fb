#!/usr/bin/env bash
# The cluster script, with this machine as its only host and small batches,
# prints byte for byte what one run of TOOL prints over the same list.
set -euo pipefail
tool="$1"
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/a folder"
cp "$source_dir/samples/hello.png" "$work/a folder/hello again.png"
cp "$source_dir/samples/report.pdf" "$work/a folder/the report.pdf"
paths=("$source_dir/samples/hello.png" "$work/a folder/the report.pdf" "$source_dir/samples/notes.txt"
  "$work/a folder/hello again.png" "$work/missing file.jpg" "$work/it's \$HOME; \"quoted\".webp"
  "$source_dir/samples/cafe_sign_rotated.jpg")
printf '%s\n' "${paths[@]}" >"$work/list"
echo ":" >"$work/hosts"

"$tool" "${paths[@]}" >"$work/single"
# Three batches at once on one host, so they end out of order.
HOME="$work" bash "$source_dir/scripts/sorvi-ocr-cluster" -n 3 -t "$tool" \
  "$work/list" "$work/hosts" --jobs 3 >"$work/cluster"

[[ $(wc -l <"$work/single") -eq ${#paths[@]} ]] || { cat "$work/single"; exit 1; }
cmp "$work/single" "$work/cluster" || { diff "$work/single" "$work/cluster"; exit 1; }
