#!/usr/bin/env bash
# CPU per frame in a screen-saver host's window, with the preview rules (/p:
# 640x480 blown up to the window) against the saver's own (-window-id: drawn
# at the window's size), in one sitting. Each mode runs twice, for a short and
# a long span; the differences of CPU time and of frames (the run's last log
# line) leave start-up out.
# Usage: bench/host_window_cpu.sh PRISMORA E2E_WINDOW [SECONDS] [WIDTHxHEIGHT]
#   (default 10 s, 1280x720; e2e_window is built in the build tree's tests/)
# Starts its own Xvfb at 1920x1080 unless DISPLAY is set.
set -euo pipefail
prismora=${1:?path to prismora}
window_helper=${2:?path to e2e_window}
seconds=${3:-10}
size=${4:-1280x720}
short=3
source "$(dirname "$0")/bench_lib.sh"

cleanup() {
  if [ -n "${pid:-}" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  if [ -n "${helper:-}" ]; then kill "$helper" 2>/dev/null || true; wait "$helper" 2>/dev/null || true; fi
  bench_stop_xvfb
  [ -n "${state:-}" ] && rm -rf "$state"
  true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  bench_start_xvfb 1920x1080
fi
state=$(mktemp -d)
mkdir -m 700 "$state/runtime"
export XDG_RUNTIME_DIR=$state/runtime
"$window_helper" "$size" >"$state/window" </dev/null &
helper=$!
for _ in $(seq 50); do [ -s "$state/window" ] && break; sleep 0.1; done
id=$(head -n 1 "$state/window")

# run SECONDS ARGS...: prints "cpu-ticks frames x-server-ticks" of one run.
run() {
  local span=$1 log cpu xt0 xt1 frames
  shift
  log="$state/Prismora.txt"
  rm -f "$log"
  xt0=0; [ -n "${xvfb:-}" ] && xt0=$(ticks "$xvfb")
  PRISMORA_STATE_DIR=$state PRISMORA_CONFIG_DIR=$state PRISMORA_DATA_DIR=$state PRISMORA_NO_SOUND_DEVICE=1 \
    "$prismora" "$@" &
  pid=$!
  sleep "$span"
  cpu=$(ticks "$pid")
  xt1=0; [ -n "${xvfb:-}" ] && xt1=$(ticks "$xvfb")
  kill -TERM "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""
  frames=$(sed -n 's/.* \([0-9]*\) frames in [0-9]* ms$/\1/p' "$log" | tail -n 1)
  echo "$cpu ${frames:-0} $((xt1 - xt0))"
}

measure() {
  local label=$1 a b
  shift
  read -r -a a <<<"$(run "$short" "$@")"
  read -r -a b <<<"$(run $((short + seconds)) "$@")"
  awk -v label="$label" -v c0="${a[0]}" -v f0="${a[1]}" -v c1="${b[0]}" -v f1="${b[1]}" -v x1="${b[2]}" \
    -v s="$seconds" -v hz="$hz" -v long=$((short + seconds)) 'BEGIN {
    frames = f1 - f0
    if (frames <= 0) { printf "%-34s no frames counted\n", label; exit }
    printf "%-34s %6.2f ms CPU a frame, %5.1f fps, %5.1f%% of a core (X server %.1f%%)\n", label,
      1000 * (c1 - c0) / hz / frames, frames / s, 100 * (c1 - c0) / hz / s, 100 * x1 / hz / long
  }'
}

echo "host window $size ($id), $seconds s each:"
measure "preview rules (/p): before" /p "$id"
measure "saver's rules (-window-id): after" -window-id "$id"
