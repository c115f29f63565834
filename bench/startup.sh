#!/usr/bin/env bash
# Start-up and memory of `prismora /s` under its own Xvfb: the times of the
# first three frames the X server is given (damage reports, ms after the
# program was started), then the resident memory and threads after 5 s and
# after HOLD seconds, without music. Each line is one of RUNS runs.
# Usage: bench/startup.sh PRISMORA [RUNS] [HOLD] [WIDTHxHEIGHT]   (default 5 runs, 30 s, 1920x1080)
set -euo pipefail
prismora=$(realpath "${1:?path to prismora}")
runs=${2:-5}
hold=${3:-30}
size=${4:-1920x1080}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/bench_lib.sh"

bench_work_dir
bench_damage_counter

bench_start_xvfb "$size"

memory() { awk '/^VmRSS/ { rss = $2 } /^Threads/ { t = $2 } END { printf "%.1f MB %d threads", rss / 1024, t }' "/proc/$1/status"; }

echo "prismora /s at $size: first three frames (ms after start); RSS and threads at 5 s and $hold s"
for _ in $(seq "$runs"); do
  state="$work/state"
  rm -rf "$state"
  mkdir -p "$state"
  # Without music, as the memory is judged.
  bench_no_music_settings "$state"
  export PRISMORA_STATE_DIR=$state PRISMORA_CONFIG_DIR=$state PRISMORA_DATA_DIR=$state
  mapfile -t lines < <("$work/damage_count" -launch 3 "$prismora" /s)
  pid=${lines[0]#pid }
  frames="${lines[*]:1}"
  sleep 5
  early=$(memory "$pid")
  sleep $((hold > 5 ? hold - 5 : 0))
  late=$(memory "$pid")
  kill "$pid" 2>/dev/null || true
  while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
  pid=
  echo "frames at ${frames// /, } ms; $early; $late"
done
