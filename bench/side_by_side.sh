#!/usr/bin/env bash
# Prismora beside a few well-known X screen-saver programs: the CPU of the
# program plus the X server per displayed frame, and the frames a second,
# each under its own Xvfb at 1280x720 and 1920x1080. A displayed frame is one
# damage report of the X server (bench/damage_count.c), so every program is
# counted the same way, by what reaches the server. Each row is the minimum
# and the median of RUNS runs of SECONDS seconds.
# Usage: bench/side_by_side.sh PRISMORA [SECONDS] [RUNS]   (default 10 s, 3 runs)
# Needs the test packages of scripts/deps.sh (xscreensaver-data-extra holds the
# other programs, libxdamage-dev the counter's header). Too slow for the tests.
set -euo pipefail
prismora=$(realpath "${1:?path to prismora}")
seconds=${2:-10}
runs=${3:-3}
here=$(cd "$(dirname "$0")" && pwd)
hacks=/usr/libexec/xscreensaver
source "$here/bench_lib.sh"

bench_work_dir
bench_damage_counter
for hack in kaleidescope strange xrayswarm; do
  [ -x "$hacks/$hack" ] || { echo "side_by_side: $hacks/$hack is missing (scripts/deps.sh test)" >&2; exit 1; }
done

# Running, not a zombie.
alive() { [ -e "/proc/$1/stat" ] && [ "$(awk '{print $3}' "/proc/$1/stat")" != Z ]; }
stop_program() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=
}

# One run: sets result to "ms-per-frame fps", or to nothing when the program
# was not running from start to end of the span. No subshells, so that the
# exit trap always knows the program to stop.
measure_once() {
  result=
  local state="$work/state"
  rm -rf "$state"
  mkdir -p "$state"
  PRISMORA_STATE_DIR=$state PRISMORA_CONFIG_DIR=$state PRISMORA_DATA_DIR=$state "$@" >/dev/null 2>&1 &
  pid=$!
  sleep 2 # start-up is not what is measured
  local t0 x0 t1 x1 frames
  alive "$pid" || { stop_program; return 0; }
  t0=$(ticks "$pid")
  x0=$(ticks "$xvfb")
  frames=$("$work/damage_count" "$seconds")
  alive "$pid" || { stop_program; return 0; }
  t1=$(ticks "$pid")
  x1=$(ticks "$xvfb")
  stop_program
  result=$(awk -v c=$((t1 - t0 + x1 - x0)) -v f="$frames" -v hz="$hz" -v s="$seconds" \
    'BEGIN { if (f == 0) print "inf 0"; else printf "%.3f %.1f\n", 1000 * c / hz / f, f / s }')
}

# A run whose program ended early is tried again, twice at most.
measure() {
  for _ in 1 2 3; do
    measure_once "$@"
    [ -n "$result" ] && return 0
    echo "side_by_side: $1 ended early; trying again" >&2
  done
  result="inf 0"
}

# Prints a table row from RUNS measurements.
row() {
  local label=$1
  shift
  local results=()
  for _ in $(seq "$runs"); do
    measure "$@"
    results+=("$result")
  done
  printf '%s\n' "${results[@]}" | sort -g | awk -v label="$label" '
    { ms[NR] = $1; fps[NR] = $2 }
    END { m = int((NR + 1) / 2); printf "| %s | %.2f / %.2f | %.0f |\n", label, ms[1], ms[m], fps[m] }'
}

for size in 1280x720 1920x1080; do
  bench_start_xvfb "$size"
  echo
  echo "Xvfb $size, $runs runs of $seconds s (ms per frame: min / median of program + X server CPU)"
  echo
  echo "| program | ms per frame | fps |"
  echo "|---|---|---|"
  row "prismora /s" "$prismora" /s
  row "prismora -root" "$prismora" -root
  for hack in kaleidescope strange xrayswarm; do row "$hack" "$hacks/$hack" -root; done
  bench_stop_xvfb
done
