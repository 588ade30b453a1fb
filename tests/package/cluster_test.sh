#!/usr/bin/env bash
# The cluster script, with this machine as its only host and small batches,
# prints byte for byte what one run of TOOL prints over the same list; so
# does the same command run again after a batch failed for good or after the
# script was stopped, running only the batches left.
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
  "$source_dir/samples/hello.png")
printf '%s\n' "${paths[@]}" >"$work/list"
echo ":" >"$work/hosts"
# TOOL, counting its runs; the second batch fails part-way while $work/fail
# exists, and waits to be stopped while $work/hold does.
cat >"$work/tool" <<SCRIPT
#!/usr/bin/env bash
echo >>"$work/runs"
if [[ " \$* " == *" $work/missing file.jpg "* ]]; then
  [[ ! -e "$work/fail" ]] || { printf '{"pa'; exit 1; }
  [[ ! -e "$work/hold" ]] || exec sleep 600
fi
exec "$tool" "\$@"
SCRIPT
chmod +x "$work/tool"
export HOME="$work"
cluster=(bash "$source_dir/scripts/sorvi-ocr-cluster" -n 3 -t "$work/tool" "$work/list" "$work/hosts")
# Runs the cluster with options $3..., expects status $1 and the lines in $work/$2.
expect() {
  local status=0
  rm -f "$work/runs"
  "${cluster[@]}" "${@:3}" >"$work/cluster" 2>"$work/err" || status=$?
  [[ $status -eq $1 ]] && cmp "$work/$2" "$work/cluster" || { echo "status $status"; cat "$work/err"; diff "$work/$2" "$work/cluster"; exit 1; }
}

"$tool" "${paths[@]}" >"$work/single"
[[ $(wc -l <"$work/single") -eq ${#paths[@]} ]] || { cat "$work/single"; exit 1; }
# Three batches at once on one host, so they end out of order.
expect 0 single --jobs 3
touch "$work/fail"
sed 4,6d "$work/single" >"$work/others"
expect 1 others --jobs 3
grep -qF 'missing\ file.jpg' "$work/err" && rm "$work/fail"
expect 0 single && [[ $(wc -l <"$work/runs") -eq 1 ]]
# Stopped while the second batch runs: the first is kept, the others run again.
touch "$work/hold"
"${cluster[@]}" >/dev/null 2>&1 &
for ((tries = 0; tries < 600; ++tries)); do [[ -e "$work/list.state/lines/000000" ]] && break || sleep 0.1; done
kill -TERM $!
status=0 && wait $! || status=$?
rm "$work/hold"
[[ $status -eq 143 ]] && expect 0 single && [[ $(wc -l <"$work/runs") -eq 2 && ! -e "$work/list.state" ]]
