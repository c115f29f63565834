#!/usr/bin/env bash
# CPU of the saver in its own window (--window) and of the windowed player,
# without music, while shown, while wholly covered by another window and
# while unmapped (what a window manager does to a minimised window; Xvfb has
# none), in one sitting under a private Xvfb: the program's share of one core
# and the X server's, over SECONDS each.
# Usage: bench/hidden_cpu.sh PRISMORA [SECONDS] [E2E_WINDOW]
#        (default 10 s; the cover is the e2e_window helper of the build tree;
#        lumiowindow is the one built or copied beside PRISMORA, skipped when
#        absent)
set -euo pipefail
prismora=$(realpath "${1:?path to prismora}")
seconds=${2:-10}
cover_tool=${3:-$(dirname "$prismora")/../../tests/e2e_window}
lumio=$(dirname "$prismora")/../lumiowindow/lumiowindow
[ -x "$lumio" ] || lumio=$(dirname "$prismora")/lumiowindow
source "$(dirname "$0")/bench_lib.sh"
[ -x "$cover_tool" ] || { echo "hidden_cpu.sh: no cover helper at $cover_tool" >&2; exit 1; }

work=$(mktemp -d)
pid=""
cover=""
xvfb=""
cleanup() {
  for p in $pid $cover; do kill "$p" 2>/dev/null || true; done
  bench_stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
bench_start_xvfb 1280x1024 -noreset
export PRISMORA_STATE_DIR=$work PRISMORA_CONFIG_DIR=$work PRISMORA_DATA_DIR=$work
# No music for either program: decoding goes on while hidden, and is not
# what is measured.
printf '%s\n' 'Windows Registry Editor Version 5.00' '' '[HKEY_CURRENT_USER\Software\Quillfen\Prismora]' \
  '"Music Index"=dword:ffffffff' '' '[HKEY_CURRENT_USER\Software\Quillfen\Prismora\Window]' \
  '"Play Music"=dword:00000000' >"$work/settings.reg"

# share PID: "program% server%" over the span.
share() {
  local p0 x0 p1 x1
  p0=$(ticks "$1"); x0=$(ticks "$xvfb")
  sleep "$seconds"
  p1=$(ticks "$1"); x1=$(ticks "$xvfb")
  awk -v p=$((p1 - p0)) -v x=$((x1 - x0)) -v hz="$hz" -v s="$seconds" \
    'BEGIN { printf "%6.1f %% %6.1f %%", 100 * p / hz / s, 100 * x / hz / s }'
}
window_of() {
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

printf '%-22s %-10s %8s %8s\n' program state program "X server"
measure() {
  local name=$1 window
  shift
  "$@" >/dev/null 2>&1 &
  pid=$!
  window=$(window_of "$pid")
  sleep 2
  printf '%-22s %-10s %s\n' "$name" shown "$(share "$pid")"
  "$cover_tool" 1280x1024 </dev/null >"$work/cover.out" 2>"$work/cover.err" &
  cover=$!
  for _ in $(seq 100); do [ -s "$work/cover.out" ] && break; sleep 0.1; done
  xdotool windowraise "$(head -n 1 "$work/cover.out")" || { cat "$work/cover.err" >&2; exit 1; }
  sleep 1
  printf '%-22s %-10s %s\n' "$name" covered "$(share "$pid")"
  kill "$cover"
  wait "$cover" 2>/dev/null || true
  cover=""
  sleep 1
  printf '%-22s %-10s %s\n' "$name" "shown" "$(share "$pid")"
  xdotool windowunmap "$window"
  sleep 1
  printf '%-22s %-10s %s\n' "$name" unmapped "$(share "$pid")"
  xdotool windowmap "$window"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""
}
measure "prismora --window" "$prismora" --window --no-music
if [ -x "$lumio" ]; then measure "lumiowindow" "$lumio"; fi
