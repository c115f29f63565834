#!/usr/bin/env bash
# The frame period of `prismora /s` as the X server sees it: the times
# between its damage reports over SECONDS, as percentiles, and how many
# periods were shorter than 900 / "Max FPS" ms (85 by default: 10 ms) or more
# than 1 ms longer. Without music, under its own Xvfb at 1280x720.
# Usage: bench/frame_periods.sh PRISMORA [SECONDS]   (default 10 s)
set -euo pipefail
prismora=$(realpath "${1:?path to prismora}")
seconds=${2:-10}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/bench_lib.sh"
bench_work_dir
bench_damage_counter
bench_start_xvfb 1280x720
bench_start_saver "$prismora"
"$work/damage_count" -periods "$seconds" $((900 / 85))
