#!/usr/bin/env bash
# Makes the Debian package from BUILD (build/ unless given), installs it with
# apt-get, checks that its programs are hardened and the installed tool on the
# samples against the built one, and removes it again. The package is removed
# on failure too.
set -euo pipefail
trap 'echo "package-test: failed at line $LINENO" >&2' ERR
cd "$(dirname "$0")/.."
build="${1:-build}"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
apt=($sudo env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=600)
installed() { dpkg-query -W -f='${Status}' sorvi-ocr 2>/dev/null | grep -q ' installed$'; }
# Runs a command quietly, showing what it said only when it fails.
quiet() { "$@" >"$build/package-test.log" 2>&1 || { cat "$build/package-test.log"; return 1; }; }

if installed; then
  echo "package-test: sorvi-ocr is installed already; not touching it (apt-get remove sorvi-ocr)" >&2
  exit 1
fi
rm -rf "$build/package"
quiet cpack --config "$build/CPackConfig.cmake" -B "$build/package" -G DEB
debs=("$build"/package/sorvi-ocr_*.deb)
deb="$(realpath "${debs[0]}")"
depends="$(dpkg-deb -f "$deb" Depends)"
for needed in tesseract-ocr-eng tesseract-ocr-osd libtesseract libpoppler; do
  [[ "$depends" == *"$needed"* ]] || { echo "Depends lacks $needed: $depends"; exit 1; }
done

work="$(mktemp -d)"
remove() {
  "${apt[@]}" remove sorvi-ocr >/dev/null 2>&1 || $sudo dpkg --purge sorvi-ocr >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap remove EXIT
trap 'exit 130' INT TERM HUP
quiet "${apt[@]}" install "$deb"

[[ -z "$(man --warnings sorvi-ocr 2>&1 >/dev/null)" && -f /usr/share/man/man1/sorvi-ocr.1.gz ]]
# Both programs are hardened: position-independent, full RELRO, a stack
# protector; the worker with FORTIFY_SOURCE checks (the tool itself calls no
# libc function that has them).
worker=/usr/libexec/sorvi-ocr/sorvi-ocr-worker
for program in /usr/bin/sorvi-ocr "$worker"; do
  [[ "$(readelf -hW "$program")" =~ Type:\ *DYN ]] || { echo "not PIE: $program"; exit 1; }
  [[ "$(readelf -lW "$program")" == *GNU_RELRO* ]] || { echo "no RELRO: $program"; exit 1; }
  [[ "$(readelf -dW "$program")" == *BIND_NOW* ]] || { echo "no BIND_NOW: $program"; exit 1; }
  [[ "$(nm -D "$program")" == *" __stack_chk_fail@"* ]] || { echo "no stack protector: $program"; exit 1; }
done
[[ "$(nm -D "$worker")" =~ \ __[a-z0-9_]+_chk@ ]] || { echo "no FORTIFY_SOURCE: $worker"; exit 1; }
samples=(samples/*)
/usr/bin/sorvi-ocr "${samples[@]}" >"$work/installed"
"$build/sorvi-ocr" "${samples[@]}" >"$work/built"
cmp "$work/built" "$work/installed"
[[ $(wc -l <"$work/installed") -eq ${#samples[@]} ]]
grep -q '"path":"samples\\/hello.png","text":"Hello' "$work/installed"
python3 tests/schema/validate_lines.py /usr/share/sorvi-ocr/sorvi-ocr-line.schema.json \
  "$work/installed" >/dev/null

quiet "${apt[@]}" remove sorvi-ocr
trap 'rm -rf "$work"' EXIT
if installed; then echo "package-test: still installed after removal"; exit 1; fi
for left in /usr/bin/sorvi-ocr /usr/libexec/sorvi-ocr /usr/share/sorvi-ocr; do
  [[ ! -e "$left" ]] || { echo "left behind: $left"; exit 1; }
done
echo "package-test: $(basename "$deb") installs, runs and removes cleanly"
