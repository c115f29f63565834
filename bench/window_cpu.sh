#!/usr/bin/env bash
# Process CPU use of the running program, read from /proc over a fixed span.
# Usage: bench/window_cpu.sh PRISMORA [SECONDS] [MODE...]   (default: 10 s, --window)
# Starts its own Xvfb at 1920x1080 unless DISPLAY is set.
set -euo pipefail
prismora=${1:?path to prismora}
seconds=${2:-10}
shift $(( $# >= 2 ? 2 : $# ))
mode=("$@")
[ ${#mode[@]} -gt 0 ] || mode=(--window)
source "$(dirname "$0")/bench_lib.sh"

cleanup() {
  if [ -n "${pid:-}" ]; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true; fi
  bench_stop_xvfb
  true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  bench_start_xvfb 1920x1080
fi
state=$(mktemp -d)
PRISMORA_STATE_DIR=$state PRISMORA_CONFIG_DIR=$state PRISMORA_DATA_DIR=$state "$prismora" "${mode[@]}" &
pid=$!
sleep 2  # start-up is not what we measure
t0=$(ticks "$pid"); w0=$(date +%s.%N)
xt0=0; [ -n "${xvfb:-}" ] && xt0=$(ticks "$xvfb")
sleep "$seconds"
t1=$(ticks "$pid"); w1=$(date +%s.%N)
xt1=0; [ -n "${xvfb:-}" ] && xt1=$(ticks "$xvfb")
awk -v a="$t0" -v b="$t1" -v xa="$xt0" -v xb="$xt1" -v w0="$w0" -v w1="$w1" -v hz="$hz" -v m="${mode[*]}" 'BEGIN {
  wall = w1 - w0
  printf "prismora %s: %.1f%% of one core over %.1f s (X server %.1f%%)\n", m, 100 * (b - a) / hz / wall, wall, 100 * (xb - xa) / hz / wall
}'
rm -rf "$state"
