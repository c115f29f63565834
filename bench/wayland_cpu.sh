#!/usr/bin/env bash
# CPU per frame and frame rate of `prismora /s` at 1280x720 in a Wayland
# session (headless sway, 60 Hz) against the same under Xvfb, in one sitting:
# the program's CPU and the display server's (compositor or X server) from
# its first frame to SIGTERM, and its frames from the log's last line.
# Usage: bench/wayland_cpu.sh PRISMORA [SECONDS] [EXTRA PRISMORA ARGS...]   (default 10 s)
# Needs sway (scripts/deps.sh test) and root (sway runs as nobody).
set -euo pipefail
prismora=${1:?path to prismora}
seconds=${2:-10}
shift $(($# >= 2 ? 2 : $#))
extra=("$@")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/bench_lib.sh"
# shellcheck source=../tests/e2e/wayland_lib.sh
source "$here/../tests/e2e/wayland_lib.sh"

state=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  bench_stop_xvfb
  wl_stop_sway
  rm -rf "$state"
}
trap cleanup EXIT
export PRISMORA_STATE_DIR=$state PRISMORA_CONFIG_DIR=$state PRISMORA_DATA_DIR=$state XDG_RUNTIME_DIR=$state
chmod 700 "$state"

# measure LABEL SERVER_PID: runs prismora /s, prints CPU per frame and rate.
measure() {
  local label=$1 server=$2 log="$state/Prismora.txt" t0 s0 t1 s1 line
  : >"$log"
  "$prismora" /s "${extra[@]}" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 100); do grep -q drawing "$log" 2>/dev/null && break; sleep 0.1; done
  t0=$(ticks "$pid"); s0=$(ticks "$server")
  sleep "$seconds"
  t1=$(ticks "$pid"); s1=$(ticks "$server")
  kill -TERM "$pid"
  wait "$pid" 2>/dev/null || true
  pid=
  line=$(grep -o '[0-9]* frames in [0-9]* ms' "$log" | tail -n 1)
  awk -v label="$label" -v p="$((t1 - t0))" -v s="$((s1 - s0))" -v hz="$hz" -v secs="$seconds" -v line="$line" 'BEGIN {
    split(line, f, " ")
    frames = f[1]; ms = f[4]
    if (frames == 0 || ms == 0) { printf "%s: no frames counted\n", label; exit }
    rate = 1000 * frames / ms
    n = rate * secs
    printf "%-24s %5.1f frames/s  CPU per frame: program %.2f ms, server %.2f ms, both %.2f ms (%.0f%% of a core)\n",
      label, rate, 1000 * p / hz / n, 1000 * s / hz / n, 1000 * (p + s) / hz / n, 100 * (p + s) / hz / secs
  }'
}

wl_start_sway 1280x720 >/dev/null
wl_swaymsg output HEADLESS-1 mode 1280x720@60Hz >/dev/null
refresh=$(wl_swaymsg -t get_outputs | sed -n 's/.*"refresh": \([0-9]*\).*/\1/p' | head -n 1)
echo "output HEADLESS-1 1280x720 at ${refresh:-?} mHz"
measure "Wayland (headless sway)" "$WL_SWAY_PID"
wl_stop_sway
# The X11 host must not see the compositor.
unset WAYLAND_DISPLAY
bench_start_xvfb 1280x720
measure "X11 (Xvfb)" "$xvfb"
