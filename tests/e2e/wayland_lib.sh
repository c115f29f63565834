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
# sway refuses to run as root, so for root it runs as nobody in a runtime
# folder that nobody owns. Without input devices its seat has no pointer; it gains a
# keyboard only while a virtual keyboard (wtype) types.

WL_SWAY_PID=""
WL_SWAY_DIR=""
WL_BACKGROUND="#ff00ff"

wl_have_sway() {
  command -v sway >/dev/null 2>&1 && command -v swaymsg >/dev/null 2>&1 &&
    { [ "$(id -u)" -ne 0 ] || command -v setpriv >/dev/null 2>&1; }
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
  chmod 700 "$WL_SWAY_DIR"
  # sway refuses root: as root it runs as nobody, else as the user.
  local as_user=()
  if [ "$(id -u)" -eq 0 ]; then
    chown nobody:nogroup "$WL_SWAY_DIR"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  fi
  "${as_user[@]}" env -i HOME="$WL_SWAY_DIR" \
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
    kill -TERM "$WL_SWAY_PID" 2>/dev/null || true
    for _ in $(seq 30); do kill -0 "$WL_SWAY_PID" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$WL_SWAY_PID" 2>/dev/null || true
    wait "$WL_SWAY_PID" 2>/dev/null || true
    WL_SWAY_PID=""
  fi
  [ -n "$WL_SWAY_DIR" ] && rm -rf "$WL_SWAY_DIR"
  WL_SWAY_DIR=""
  unset WAYLAND_DISPLAY SWAYSOCK
}

# wl_begin: what e2e_begin does for an X11 test, for a Wayland one: checks
# the program, makes the private folders, starts sway (WL_MODE, default
# 640x480) and stops it at the end. Needs e2e_lib.sh sourced first. Exits 77
# (skipped) when sway or the screenshot and typing tools are missing.
wl_begin() {
  if [ -z "$PRISMORA" ] || [ ! -x "$PRISMORA" ]; then
    echo "$E2E_NAME: prismora not found or not executable: '${PRISMORA}'" >&2
    exit 1
  fi
  local tool
  for tool in sway swaymsg setpriv grim wtype convert identify timeout; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "$E2E_NAME: skipped: '$tool' is missing (scripts/deps.sh test installs it)"
      exit 77
    fi
  done
  E2E_WORK=$(mktemp -d "${TMPDIR:-/tmp}/prismora-e2e.XXXXXX") || exit 1
  trap 'wl_stop_sway; wl_stop_weston; e2e_cleanup' EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  mkdir -p "$E2E_WORK/config" "$E2E_WORK/data" "$E2E_WORK/state" "$E2E_WORK/runtime"
  chmod 700 "$E2E_WORK/runtime"
  export PRISMORA_CONFIG_DIR="$E2E_WORK/config" PRISMORA_DATA_DIR="$E2E_WORK/data"
  export PRISMORA_STATE_DIR="$E2E_WORK/state" XDG_RUNTIME_DIR="$E2E_WORK/runtime"
  unset DISPLAY XSCREENSAVER_WINDOW QT_QPA_PLATFORM
  e2e_use_leak_suppressions
  wl_start_sway "${WL_MODE:-640x480}" || exit 1
}

# wl_screenshot FILE [OUTPUT]: every output, or only OUTPUT.
wl_screenshot() {
  if [ $# -eq 2 ]; then timeout 10 grim -o "$2" "$1"; else timeout 10 grim "$1"; fi
}

# wl_colour_pixels IMAGE COLOUR: how many pixels are exactly COLOUR.
wl_colour_pixels() {
  timeout 20 convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" \
    -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null
}

# wl_type KEYS...: types through a virtual keyboard (wtype arguments). The
# seat has a keyboard only while it types: the pause lets clients take it
# before the first key.
wl_type() { timeout 10 wtype -s 300 "$@"; }

# wl_start_weston WIDTH HEIGHT: a headless Weston (no layer-shell: clients go
# full screen through xdg-shell) in a folder of its own; its socket's path in
# WL_WESTON_DISPLAY. wl_stop_weston ends it.
WL_WESTON_PID=""
WL_WESTON_DIR=""
wl_start_weston() {
  WL_WESTON_DIR=$(mktemp -d "${TMPDIR:-/tmp}/prismora-weston.XXXXXX") || return 1
  chmod 700 "$WL_WESTON_DIR"
  XDG_RUNTIME_DIR="$WL_WESTON_DIR" weston --backend=headless-backend.so --socket=wayland-weston \
    --width="$1" --height="$2" --idle-time=0 --no-config >"$WL_WESTON_DIR/weston.log" 2>&1 &
  WL_WESTON_PID=$!
  WL_WESTON_DISPLAY="$WL_WESTON_DIR/wayland-weston"
  for _ in $(seq 100); do
    [ -S "$WL_WESTON_DISPLAY" ] && grep -q 'launching' "$WL_WESTON_DIR/weston.log" && sleep 0.3 && return 0
    kill -0 "$WL_WESTON_PID" 2>/dev/null || break
    sleep 0.1
  done
  cat "$WL_WESTON_DIR/weston.log" >&2
  wl_stop_weston
  return 1
}

wl_stop_weston() {
  if [ -n "$WL_WESTON_PID" ]; then
    kill -TERM "$WL_WESTON_PID" 2>/dev/null || true
    wait "$WL_WESTON_PID" 2>/dev/null || true
    WL_WESTON_PID=""
  fi
  [ -n "$WL_WESTON_DIR" ] && rm -rf "$WL_WESTON_DIR"
  WL_WESTON_DIR=""
}
