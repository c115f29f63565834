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
work=$(mktemp -d)
cleanup() {
  if [ -n "${pid:-}" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  if [ -n "${xvfb:-}" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
cc -O2 -o "$work/damage_count" "$here/damage_count.c" -lXdamage -lX11
for n in $(seq 90 119); do [ -e /tmp/.X11-unix/X$n ] || { display=:$n; break; }; done
Xvfb "$display" -screen 0 1280x720x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

printf '%s\n' 'Windows Registry Editor Version 5.00' '' '[HKEY_CURRENT_USER\Software\Quillfen\Prismora]' \
  '"Music Index"=dword:ffffffff' >"$work/settings.reg"
PRISMORA_STATE_DIR=$work PRISMORA_CONFIG_DIR=$work PRISMORA_DATA_DIR=$work "$prismora" /s >/dev/null 2>&1 &
pid=$!
sleep 2
"$work/damage_count" -periods "$seconds" $((900 / 85))
