#!/usr/bin/env bash
# Frames a second and CPU of `prismora /s` at 1920x1080 on displays of known
# refresh rates: Xorg's dummy driver with a 60 Hz and a 144 Hz mode, and Xvfb,
# whose mode has no rate. For each server and each program given (to compare
# two builds in one sitting): frames the X server saw a second, the median
# and 99th percentile of the time between them, and the CPU the program and
# the X server used, in percent of one core; and `--window` at 60 Hz, which is
# not paced by the monitor. Also what the server's RandR
# and Present report for the screen (bench/vblank_probe.c). Xorg needs root
# and xserver-xorg-video-dummy.
# Usage: [ROUNDS=N] bench/refresh_pacing.sh [SECONDS] PRISMORA [PRISMORA...]   (10 s, 1 round)
set -euo pipefail
seconds=10
if [[ ${1:-} =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
[ $# -gt 0 ] || { echo "usage: $0 [SECONDS] PRISMORA [PRISMORA...]" >&2; exit 2; }
programs=()
for p in "$@"; do programs+=("$(realpath "$p")"); done
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR source=bench_lib.sh
source "$here/bench_lib.sh"
bench_work_dir
bench_damage_counter
cc -O2 -o "$work/vblank_probe" "$here/vblank_probe.c" -lxcb -lxcb-randr -lxcb-present

# start_xorg CONF: Xorg on $PRISMORA_BENCH_XORG_DISPLAY, else on the
# first free display from :190 (the tests' Xvfb servers take :90 up); its pid
# in xvfb, so that the library's clean-up stops it too.
start_xorg() {
  local n candidates
  candidates=$(seq 190 289)
  [ -n "${PRISMORA_BENCH_XORG_DISPLAY:-}" ] && candidates=${PRISMORA_BENCH_XORG_DISPLAY#:}
  for n in $candidates; do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xorg ":$n" -config "$1" -noreset -nolisten tcp -logfile "$work/Xorg.log" >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY=":$n"
    for _ in $(seq 100); do
      if xdpyinfo >/dev/null 2>&1; then return 0; fi
      kill -0 "$xvfb" 2>/dev/null || break
      sleep 0.1
    done
    bench_stop_xvfb
  done
  echo "$(basename "$0"): Xorg did not start (see its log)" >&2
  tail -5 "$work/Xorg.log" >&2 || true
  exit 1
}

# measure NAME PROGRAM [MODE...]: one run of PROGRAM in MODE (/s by default)
# on the running server, without music, measured after 2 s of start-up.
measure() {
  local name=$1 program=$2
  shift 2
  bench_no_music_settings "$work"
  PRISMORA_STATE_DIR=$work PRISMORA_CONFIG_DIR=$work PRISMORA_DATA_DIR=$work "$program" "${@:-/s}" >/dev/null 2>&1 &
  pid=$!
  sleep 2
  local p0 x0 w0 p1 x1 w1 periods
  p0=$(ticks "$pid")
  x0=$(ticks "$xvfb")
  w0=$(date +%s.%N)
  periods=$("$work/damage_count" -periods "$seconds" 10)
  p1=$(ticks "$pid")
  x1=$(ticks "$xvfb")
  w1=$(date +%s.%N)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=
  awk -v name="$name" -v prog="$program" -v line="$periods" -v s="$seconds" -v p0="$p0" -v p1="$p1" -v x0="$x0" \
    -v x1="$x1" -v w0="$w0" -v w1="$w1" -v hz="$hz" 'BEGIN {
      n = 0; p50 = "-"; p99 = "-"
      if (match(line, /^[0-9]+ periods/)) n = substr(line, RSTART, RLENGTH) + 0
      if (match(line, /median [0-9.]+/)) p50 = substr(line, RSTART + 7, RLENGTH - 7)
      if (match(line, /p99 [0-9.]+/)) p99 = substr(line, RSTART + 4, RLENGTH - 4)
      w = w1 - w0
      printf "%-14s %-28s fps %6.1f  period p50 %7s ms p99 %7s ms  CPU program %5.1f%%  X server %5.1f%%\n",
        name, prog, (n + 1) / s, p50, p99, 100 * (p1 - p0) / hz / w, 100 * (x1 - x0) / hz / w
    }'
}

# run_all NAME [MODE...]: every program in turn, ROUNDS times over.
run_all() {
  local name=$1 p _
  shift
  for _ in $(seq "${ROUNDS:-1}"); do
    for p in "${programs[@]}"; do measure "$name" "$p" "$@"; done
  done
}

start_xorg "$here/dummy_xorg.conf"
echo "dummy 60 Hz: $("$work/vblank_probe")"
run_all "dummy 60 Hz"
run_all "60 Hz --window" --window
xrandr --output "$(xrandr | awk '/ connected/ {print $1; exit}')" --mode 1920x1080_144
echo "dummy 144 Hz: $("$work/vblank_probe")"
run_all "dummy 144 Hz"
bench_stop_xvfb
bench_start_xvfb 1920x1080
echo "Xvfb: $("$work/vblank_probe")"
run_all "Xvfb"
