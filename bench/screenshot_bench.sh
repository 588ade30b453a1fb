#!/usr/bin/env bash
# Screenshots: times sorvi-ocr (one job) against the tesseract command (one
# thread) on the screenshots of bench/make_screenshots.sh (or DIR), and
# counts the words each reads (two or more letters or digits, case-blind),
# with the words they share.
#
#   bash bench/screenshot_bench.sh [DIR]
#
# BENCH_BEFORE=/path/to/older/sorvi-ocr adds that build's run beside this one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/build.sh >/dev/null
dir="$(cd "${1:-$(bash bench/make_screenshots.sh)}" && pwd)"
work="$(mktemp -d)"
[[ -n "${BENCH_KEEP:-}" ]] || trap 'rm -rf "$work"' EXIT
mapfile -t shots < <(find "$dir" -maxdepth 1 -type f -name '*.png' | sort)
echo "${#shots[@]} screenshots from $dir; $(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg)"

seconds() { awk -v a="$1" -v b="$(date +%s.%N)" -v n="${#shots[@]}" 'BEGIN { printf "%.3f", (b - a) / n }'; }
run() { # LABEL TOOL
  local start
  start=$(date +%s.%N)
  env -u OMP_THREAD_LIMIT SORVI_OCR_JOBS=1 "$2" "${shots[@]}" >"$work/$1.jsonl" 2>/dev/null || true
  echo "$1 $(seconds "$start")" >>"$work/times"
}
[[ -n "${BENCH_BEFORE:-}" ]] && run before "$BENCH_BEFORE"
run sorvi-ocr "$root/build/sorvi-ocr"
start=$(date +%s.%N)
for shot in "${shots[@]}"; do
  OMP_THREAD_LIMIT=1 tesseract "$shot" - 2>/dev/null |
    python3 -c 'import json, sys; print(json.dumps({"path": sys.argv[1], "text": sys.stdin.read()}))' "$shot"
done >"$work/tesseract.jsonl"
echo "tesseract $(seconds "$start")" >>"$work/times"

python3 - "$work" <<'EOF'
import collections, json, re, sys
work = sys.argv[1]
times = dict(line.split() for line in open(f"{work}/times"))
def words(label):
    return [collections.Counter(re.findall(r"[^\W_]{2,}", json.loads(l).get("text", "").lower()))
            for l in open(f"{work}/{label}.jsonl")]
peer = words("tesseract")
print("| run | s/image | x tesseract | words | shared with tesseract's |")
print("|---|---|---|---|---|")
for label, t in times.items():
    mine = words(label)
    found = sum(sum(c.values()) for c in mine)
    shared = sum(sum((a & b).values()) for a, b in zip(mine, peer))
    print(f"| {label} | {float(t):.3f} | {float(t) / float(times['tesseract']):.2f} | {found} | {shared} |")
EOF
