#!/usr/bin/env bash
# What the picture on a second monitor costs: process and X server CPU of
# `prismora /s` and `prismora /s --all-monitors` on two 1920x1080 RandR
# monitors of one Xvfb screen, alternating over several rounds in one sitting.
# Usage: bench/monitors_cpu.sh PRISMORA [SECONDS] [ROUNDS]   (default: 10 s, 2 rounds)
set -euo pipefail
prismora=${1:?path to prismora}
seconds=${2:-10}
rounds=${3:-2}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/bench_lib.sh"

trap bench_stop_xvfb EXIT
# -noreset: the monitors set below would go with the reset after xrandr leaves.
bench_start_xvfb 3840x1080 -noreset
xrandr --setmonitor left 1920/508x1080/286+0+0 screen >/dev/null
xrandr --setmonitor right 1920/508x1080/286+1920+0 none >/dev/null
xrandr --output screen --primary
if [ "$(xrandr --listmonitors | awk 'NR == 1 {print $2}')" != 2 ]; then
  echo "monitors_cpu.sh: the X server did not take two monitors" >&2
  exit 1
fi

for round in $(seq "$rounds"); do
  for mode in "/s" "/s --all-monitors"; do
    x0=$(ticks "$xvfb")
    w0=$(date +%s.%N)
    # shellcheck disable=SC2086  # the mode is two words on purpose
    line=$(bash "$here/window_cpu.sh" "$prismora" "$seconds" $mode)
    x1=$(ticks "$xvfb")
    w1=$(date +%s.%N)
    awk -v l="$line" -v r="$round" -v a="$x0" -v b="$x1" -v w0="$w0" -v w1="$w1" -v hz="$hz" 'BEGIN {
      sub(/ \(X server.*/, "", l)
      printf "round %d: %s; X server %.1f%% over the whole run\n", r, l, 100 * (b - a) / hz / (w1 - w0)
    }'
  done
done
