# shellcheck shell=bash
# A private headless sway for the Wayland tests (sourced, not run).
#
#   wl_have_sway          true when sway and setpriv are installed
#   wl_start_sway [MODE]  starts sway with one output HEADLESS-1 of MODE
#                         (default 1280x720) and a solid magenta desktop
#                         (WL_BACKGROUND), waits for its sockets and exports
#                         WAYLAND_DISPLAY (an absolute path) and SWAYSOCK, so
#                         that clients running as root reach it
#   wl_swaymsg ARGS...    swaymsg with a bounded wait
#   wl_add_output MODE X  adds an output of MODE placed at X,0; prints its name
#   wl_stop_sway          ends sway and removes its folder
#
# sway refuses to run as root, so it runs as nobody in a runtime folder that
# nobody owns. Without input devices its seat has no pointer; it gains a
# keyboard only while a virtual keyboard (wtype) types.

WL_SWAY_PID=""
WL_SWAY_DIR=""
WL_BACKGROUND="#ff00ff"

wl_have_sway() {
  command -v sway >/dev/null 2>&1 && command -v swaymsg >/dev/null 2>&1 && command -v setpriv >/dev/null 2>&1
}

wl_swaymsg() { timeout 10 swaymsg "$@"; }

wl_start_sway() {
  local mode=${1:-1280x720} deadline socket
  WL_SWAY_DIR=$(mktemp -d "${TMPDIR:-/tmp}/prismora-sway.XXXXXX") || return 1
  cat >"$WL_SWAY_DIR/config" <<CONFIG
xwayland disable
default_border none
output * bg $WL_BACKGROUND solid_color
output HEADLESS-1 mode $mode position 0 0
CONFIG
  chmod 644 "$WL_SWAY_DIR/config"
  chown nobody:nogroup "$WL_SWAY_DIR"
  chmod 700 "$WL_SWAY_DIR"
  setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME="$WL_SWAY_DIR" \
    XDG_RUNTIME_DIR="$WL_SWAY_DIR" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$WL_SWAY_DIR/config" >"$WL_SWAY_DIR/sway.log" 2>&1 &
  WL_SWAY_PID=$!
  deadline=$((SECONDS + 10))
  while [ "$SECONDS" -lt "$deadline" ]; do
    socket=$(find "$WL_SWAY_DIR" -maxdepth 1 -name 'wayland-[0-9]*' -type s | head -n 1)
    SWAYSOCK=$(find "$WL_SWAY_DIR" -maxdepth 1 -name 'sway-ipc.*.sock' -type s | head -n 1)
    if [ -n "$socket" ] && [ -n "$SWAYSOCK" ]; then
      export WAYLAND_DISPLAY=$socket SWAYSOCK
      # The desktop is drawn by a client of sway's own: wait for the colour.
      wl_swaymsg -t get_outputs >/dev/null 2>&1 && sleep 0.5 && return 0
    fi
    kill -0 "$WL_SWAY_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "sway did not start:" >&2
  cat "$WL_SWAY_DIR/sway.log" >&2
  wl_stop_sway
  return 1
}

wl_output_names() {
  wl_swaymsg -t get_outputs 2>/dev/null | sed -n 's/^ *"name": "\([^"]*\)".*/\1/p'
}

wl_add_output() {
  local mode=$1 x=$2 before name
  before=$(wl_output_names)
  wl_swaymsg create_output >/dev/null || return 1
  for _ in $(seq 50); do
    name=$(wl_output_names | grep -vxF "$before" | head -n 1)
    [ -n "$name" ] && break
    sleep 0.1
  done
  [ -n "$name" ] || return 1
  wl_swaymsg output "$name" mode "$mode" position "$x" 0 bg "$WL_BACKGROUND" solid_color >/dev/null || return 1
  echo "$name"
}

wl_stop_sway() {
  if [ -n "$WL_SWAY_PID" ]; then
    kill -TERM "$WL_SWAY_PID" 2>/dev/null
    for _ in $(seq 30); do kill -0 "$WL_SWAY_PID" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$WL_SWAY_PID" 2>/dev/null
    wait "$WL_SWAY_PID" 2>/dev/null
    WL_SWAY_PID=""
  fi
  [ -n "$WL_SWAY_DIR" ] && rm -rf "$WL_SWAY_DIR"
  WL_SWAY_DIR=""
  unset WAYLAND_DISPLAY SWAYSOCK
}
