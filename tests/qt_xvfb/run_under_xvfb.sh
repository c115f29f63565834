#!/usr/bin/env bash
# Runs a Qt test program on a private Xvfb (the xcb platform) and returns its
# exit status. With -noreset, so that the server does not restart under the
# test when the readiness probe, for a moment its last client, goes.
# Usage: run_under_xvfb.sh PROGRAM [ARGUMENTS...]
set -uo pipefail
command -v Xvfb xdpyinfo >/dev/null || { echo "Xvfb and xdpyinfo are needed" >&2; exit 1; }
xvfb=
cleanup() {
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
  fi
  true
}
trap cleanup EXIT
for n in $(seq 120 160); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1920x1200x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb=$!
  ready=
  for _ in $(seq 100); do
    xdpyinfo -display ":$n" >/dev/null 2>&1 && { ready=1; break; }
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
  done
  if [ -n "$ready" ]; then
    DISPLAY=":$n" QT_QPA_PLATFORM=xcb "$@"
    exit $?
  fi
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  xvfb=
done
echo "no free display for Xvfb" >&2
exit 1
