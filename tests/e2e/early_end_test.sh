#!/usr/bin/env bash
# TOOL, two jobs, ended early: by a reader that closes the pipe after the
# first line while the next is many pages away (the tool is gone within 1 s
# of the close, dead of SIGPIPE), and by SIGTERM mid-run over many copies of
# an image (dead of SIGTERM). Either way its workers are gone once its status
# is known, and nothing is on stderr. QUICK is read in a moment, SLOW takes a
# worker about a second, LONG is a document of many pages.
set -euo pipefail
tool="$1"
quick="$2"
slow="$3"
long="$4"
work="$(mktemp -d)"
tool_pid=""
trap 'kill -KILL $tool_pid 2>/dev/null || true; rm -rf "$work"' EXIT
export SORVI_OCR_JOBS=2
# COUNT copies of IMAGE.
copies() { for ((i = 0; i < $1; ++i)); do echo "$2"; done; }

# The state letter of process $1, empty once it is gone.
state() { sed 's/.*) //; s/ .*//' "/proc/$1/stat" 2>/dev/null || true; }
# Polls up to $1 tenths of a second until none of the processes after it runs
# (gone, or a zombie left to init).
ended() {
  local tries="$1" pid running
  shift
  while :; do
    running=()
    for pid; do [[ "$(state "$pid")" =~ ^Z?$ ]] || running+=("$pid:$(state "$pid")"); done
    ((${#running[@]} == 0)) && return 0
    ((--tries > 0)) || { echo "still running: ${running[*]}"; return 1; }
    sleep 0.1
  done
}
# The tool's two workers, once both have started (up to 60 s).
workers() {
  local children=()
  for ((tries = 0; tries < 600 && ${#children[@]} < 2; ++tries)); do
    read -ra children <"/proc/$1/task/$1/children" || true
    ((${#children[@]} >= 2)) || sleep 0.1
  done
  ((${#children[@]} >= 2)) || { echo "no workers: ${children[*]}"; return 1; }
  echo "${children[@]}"
}
# Waits for the tool and checks its status and stderr.
expect_death() {
  local status=0
  wait "$1" || status=$?
  [[ $status -eq $2 ]] || { echo "status $status, not $2"; return 1; }
  [[ ! -s "$work/err" ]] || { cat "$work/err"; return 1; }
}

mkfifo "$work/out"
"$tool" "$quick" "$long" "$long" >"$work/out" 2>"$work/err" &
tool_pid=$!
exec 3<"$work/out"
read -r first <&3
[[ "$first" == *'"text":'* ]] || { echo "first line: $first"; exit 1; }
pids="$(workers "$tool_pid")"
exec 3<&-
ended 10 "$tool_pid"
expect_death "$tool_pid" 141
ended 1 $pids

# Killed while both workers recognise.
mapfile -t paths < <(copies 200 "$slow")
"$tool" "${paths[@]}" >"$work/lines" 2>"$work/err" &
tool_pid=$!
for ((tries = 0; tries < 600; ++tries)); do [[ -s "$work/lines" ]] && break || sleep 0.1; done
pids="$(workers "$tool_pid")"
kill -TERM "$tool_pid"
expect_death "$tool_pid" 143
ended 1 $pids
