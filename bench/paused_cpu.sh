#!/usr/bin/env bash
# What a paused saver costs: CPU milliseconds and wake-ups (voluntary context
# switches of all its threads) a second, over SECONDS after the Pause key,
# beside the same while running; without music. Its own Xvfb at 1280x720.
# Usage: bench/paused_cpu.sh PRISMORA [SECONDS]   (default 10 s)
set -euo pipefail
prismora=$(realpath "${1:?path to prismora}")
seconds=${2:-10}
source "$(dirname "$0")/bench_lib.sh"
bench_work_dir
bench_start_xvfb 1280x720
bench_start_saver "$prismora"
wakeups() { cat /proc/"$pid"/task/*/status | awk '/^voluntary_ctxt_switches/ { n += $2 } END { print n }'; }
span() {
  local t0 w0 t1 w1
  t0=$(ticks "$pid")
  w0=$(wakeups)
  sleep "$seconds"
  t1=$(ticks "$pid")
  w1=$(wakeups)
  awk -v t=$((t1 - t0)) -v w=$((w1 - w0)) -v hz="$hz" -v s="$seconds" -v label="$1" \
    'BEGIN { printf "%s: %.2f ms of CPU a second, %.0f wake-ups a second\n", label, 1000 * t / hz / s, w / s }'
}
span running
xdotool key Pause
sleep 1
span paused
