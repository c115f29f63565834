#!/usr/bin/env bash
# Full screen, and a host's window that fills a monitor, show at most one frame
# a refresh of the monitor: `prismora /s` and `prismora --window-id` on Xorg's
# dummy driver in a 60 Hz mode put at most about 60 frames a second, and when
# the monitor is switched to a 144 Hz mode while it runs, the frame period of
# "Max FPS" (85: about 98 frames a second) holds again. The frames
# are counted from the X server's damage reports. Needs root (Xorg) and
# xserver-xorg-video-dummy.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 320x240x24

if [ "$(id -u)" != 0 ]; then
  e2e_log "skipped: Xorg needs root"
  exit 0
fi
if [ ! -e /usr/lib/xorg/modules/drivers/dummy_drv.so ]; then
  e2e_fail "Xorg's dummy driver is missing (run scripts/deps.sh test)"
  e2e_finish
fi
bench=$(cd "$(dirname "$0")/../../bench" && pwd)

# Xorg on the first free display from :190 (the Xvfb servers take :90 up).
started=""
for n in $(seq 190 289); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xorg ":$n" -config "$bench/dummy_xorg.conf" -noreset -nolisten tcp -logfile "$E2E_WORK/Xorg.log" >/dev/null 2>&1 &
  xorg=$!
  E2E_PIDS+=("$xorg")
  for _ in $(seq 100); do
    kill -0 "$xorg" 2>/dev/null || break
    if xdpyinfo -display ":$n" >/dev/null 2>&1; then
      started=":$n"
      break
    fi
    sleep 0.1
  done
  [ -n "$started" ] && break
done
if [ -z "$started" ]; then
  e2e_fail "Xorg with the dummy driver did not start"
  tail -n 20 "$E2E_WORK/Xorg.log" 2>/dev/null
  e2e_finish
fi
export DISPLAY=$started
output=$(xrandr | awk '/ connected/ {print $1; exit}')
cc -O2 -o "$E2E_WORK/damage_count" "$bench/damage_count.c" -lXdamage -lX11 ||
  { e2e_fail "could not build the frame counter"; e2e_finish; }

# fps_check WHAT LOW HIGH: the frames counted over 1.5 s make LOW to HIGH a
# second. The counter can take one frame's puts for two; it never merges two
# refreshes.
fps_check() {
  local fps
  fps=$(($("$E2E_WORK/damage_count" 1.5) * 2 / 3))
  e2e_check "$1: $2 to $3 frames a second (got $fps)" test "$fps" -ge "$2" -a "$fps" -le "$3"
}

# Without music: loading the sound libraries stalls the first frames.
e2e_run_prismora /s --no-music
sleep 2
fps_check "full screen at 60 Hz" 30 64
e2e_stop "$E2E_LAST_PID"

# A host's window that fills the monitor is paced as full screen is.
e2e_open_window 1920x1080
e2e_run_prismora --window-id "$E2E_WINDOW_ID" --no-music
pid=$E2E_LAST_PID
sleep 2
fps_check "a host's window filling the 60 Hz monitor" 30 64

xrandr --output "$output" --mode 1920x1080_144
sleep 0.5
fps_check "after the switch to 144 Hz (at most two counts a refresh)" 69 288
e2e_check "it is still running" e2e_is_running "$pid"
e2e_stop "$pid"
e2e_show_stderr
e2e_finish
