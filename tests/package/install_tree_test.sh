#!/usr/bin/env bash
# cmake --install of BUILD with a prefix and DESTDIR puts every file under
# both, and the tool run from there gives the lines of the built one.
# Second argument 1: the build has a separate worker program.
set -euo pipefail
build="$1"
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT

DESTDIR="$stage" cmake --install "$build" --prefix /opt/sorvi >/dev/null
root="$stage/opt/sorvi"
expected=(bin/sorvi-ocr share/man/man1/sorvi-ocr.1.gz share/sorvi-ocr/sorvi-ocr-line.schema.json
  share/doc/sorvi-ocr/examples/sorvi-ocr-cluster share/sorvi-ocr/models/{det.onnx,rec.onnx,ppocr_keys_v1.txt,LICENSE})
[[ "${2:-0}" == 1 ]] && expected+=(libexec/sorvi-ocr/sorvi-ocr-worker)  # a worker of its own
for file in "${expected[@]}"; do
  [[ -f "$root/$file" ]] || { echo "not installed: $file"; find "$stage"; exit 1; }
done
[[ $(find "$stage" -type f | wc -l) -eq ${#expected[@]} ]] || { find "$stage"; exit 1; }

# The signs are read only where the installed worker finds its text models.
samples=("$source_dir"/samples/{hello.png,report.pdf,notes.txt,cafe_sign_rotated.jpg,market_signs.jpg})
cmp <("$build/sorvi-ocr" "${samples[@]}") <("$root/bin/sorvi-ocr" "${samples[@]}")
