#!/usr/bin/env bash
# Makes screenshots of Debian's own documentation, as a photo library holds
# them: HTML pages and man pages in headless Chromium at 1x and 2x, light and
# dark, and terminals (package tables, changelogs) in an xterm under Xvfb.
# Prints the folder (build/bench-screenshots; made once, kept).
#
#   bash bench/make_screenshots.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build/bench-screenshots"
if [[ -f "$out/.done" ]]; then
  echo "$out"
  exit 0
fi
missing=()
for package in chromium xvfb xterm imagemagick debian-reference-en groff; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
fi
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Pages: Debian Reference chapters, and man pages drawn to HTML by groff.
reference=/usr/share/debian-reference
for page in bash dpkg apt-get; do
  zcat "$(man -w "$page")" | groff -man -Thtml >"$work/man-$page.html" 2>/dev/null
done
# A long list in a plain page, as a changelog or package table shows.
{
  echo '<pre style="font-size:13px">'
  dpkg -l | awk 'NR <= 70' | sed 's/&/\&amp;/g; s/</\&lt;/g'
  echo '</pre>'
} >"$work/packages.html"
zcat /usr/share/doc/dpkg/changelog.gz | awk 'NR <= 80' |
  sed '1i <pre style="font-size:12px">' | sed 's/&/\&amp;/g; s/</\&lt;/g' >"$work/changelog.html"

shot() { # NAME URL SCALE [extra chromium flags...]
  local name="$1" url="$2" scale="$3"
  shift 3
  timeout 60 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
    --window-size=1280,800 --force-device-scale-factor="$scale" "$@" \
    --screenshot="$out/$name.png" "$url" >/dev/null 2>&1
}
dark=(--blink-settings=forceDarkModeEnabled=true)
shot reference-ch02-1x "file://$reference/ch02.en.html" 1
shot reference-ch03-2x "file://$reference/ch03.en.html" 2
shot reference-ch05-dark "file://$reference/ch05.en.html" 1 "${dark[@]}"
shot reference-index-2x-dark "file://$reference/index.en.html" 2 "${dark[@]}"
shot man-bash-1x "file://$work/man-bash.html" 1
shot man-dpkg-2x "file://$work/man-dpkg.html" 2
shot man-apt-get-dark "file://$work/man-apt-get.html" 1 "${dark[@]}"
shot packages-1x "file://$work/packages.html" 1
shot packages-dark "file://$work/packages.html" 1 "${dark[@]}"
shot changelog-1x "file://$work/changelog.html" 1
shot changelog-2x "file://$work/changelog.html" 2

# Terminals: an xterm, light and dark, showing a package list and a man page.
term() { # NAME COLOURS COMMAND
  local name="$1" colours="$2" command="$3"
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c "
    xterm $colours -fa 'DejaVu Sans Mono' -fs 11 -geometry 150x45+0+0 -e bash -c '$command; sleep 30' &
    sleep 3; import -window root '$out/$name.png'; kill %1" >/dev/null 2>&1
}
term xterm-packages "-bg white -fg black" "COLUMNS=150 dpkg -l | head -44"
term xterm-man-dark "-bg black -fg grey90" "MANWIDTH=140 man ls 2>/dev/null | head -44"
term xterm-changelog-dark "-bg '#1e1e1e' -fg '#d4d4d4'" "zcat /usr/share/doc/apt/changelog.gz | head -44"

touch "$out/.done"
echo "$out"
