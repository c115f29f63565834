# shellcheck shell=bash
# Shared by the end-to-end tests (sourced, not run): a private X server, private
# settings, data and log directories, child processes that are always cleaned
# up, bounded waits, and checks on screenshots.
#
# A test is run as `NAME_test.sh PRISMORA [E2E_WINDOW]`. It calls e2e_begin, then
# e2e_pass / e2e_fail for each check, and ends with e2e_finish, which prints
# "N passed, N failed" and sets the exit status. On failure the screenshots and
# the programs' output are kept in ./e2e-artifacts/NAME/ (CTest runs the tests
# from the build tree's tests/ directory).

# shellcheck disable=SC2034  # E2E_STATUS and the like are read by the tests.
set -u

PRISMORA=${1:-}
E2E_WINDOW=${2:-}
E2E_NAME=$(basename "$0" .sh)
E2E_WORK=""
E2E_XVFB_PID=""
E2E_PIDS=()
E2E_PASSED=0
E2E_FAILED=0
E2E_FAILED_SHOWN=0
E2E_RUNS=0
E2E_LAST_PID=""
E2E_LAST_WINDOW=""
E2E_STATUS=""

e2e_log() { printf '%s: %s\n' "$E2E_NAME" "$*"; }
e2e_pass() {
  E2E_PASSED=$((E2E_PASSED + 1))
  printf '%s: ok   %s\n' "$E2E_NAME" "$*"
}
e2e_fail() {
  E2E_FAILED=$((E2E_FAILED + 1))
  printf '%s: FAIL %s\n' "$E2E_NAME" "$*"
}
# e2e_check DESCRIPTION COMMAND... : passes when the command succeeds.
e2e_check() {
  local description=$1
  shift
  if "$@"; then e2e_pass "$description"; else e2e_fail "$description"; fi
}

e2e_is_running() {
  local pid=$1 state
  kill -0 "$pid" 2>/dev/null || return 1
  # A child that has exited but is not yet reaped still answers kill -0.
  state=$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null) || return 1
  [ "$state" != Z ] && [ -n "$state" ]
}

e2e_forget_pid() {
  local pid=$1 kept=() p
  for p in "${E2E_PIDS[@]}"; do
    [ "$p" = "$pid" ] || kept+=("$p")
  done
  E2E_PIDS=("${kept[@]}")
}

# e2e_wait_exit PID SECONDS: true when PID ended within SECONDS; its exit
# status (128+N when killed by signal N) is then in E2E_STATUS.
e2e_wait_exit() {
  local pid=$1 deadline=$((SECONDS + $2))
  while e2e_is_running "$pid"; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      E2E_STATUS=""
      return 1
    fi
    sleep 0.1
  done
  wait "$pid"
  E2E_STATUS=$?
  e2e_forget_pid "$pid"
  return 0
}

# Ends PID: SIGTERM, then SIGKILL if it is still there after SECONDS.
e2e_stop() {
  local pid=$1 seconds=${2:-3}
  kill -TERM "$pid" 2>/dev/null
  if ! e2e_wait_exit "$pid" "$seconds"; then
    kill -KILL "$pid" 2>/dev/null
    e2e_wait_exit "$pid" 5
  fi
}

e2e_cleanup() {
  local pid
  for pid in "${E2E_PIDS[@]}"; do kill -TERM "$pid" 2>/dev/null; done
  for pid in "${E2E_PIDS[@]}"; do
    e2e_wait_exit "$pid" 3 || { kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; }
  done
  if [ -n "$E2E_XVFB_PID" ]; then
    kill -TERM "$E2E_XVFB_PID" 2>/dev/null
    wait "$E2E_XVFB_PID" 2>/dev/null
  fi
  if [ -n "$E2E_WORK" ] && [ -d "$E2E_WORK" ]; then
    if [ "$E2E_FAILED" -gt 0 ]; then
      local keep="$PWD/e2e-artifacts/$E2E_NAME"
      rm -rf "$keep"
      mkdir -p "$keep" && cp -r "$E2E_WORK"/. "$keep"/ 2>/dev/null &&
        e2e_log "screenshots and output kept in $keep"
    fi
    rm -rf "$E2E_WORK"
  fi
}

# Starts a private Xvfb on the first free display from :90 up and points
# DISPLAY at it. Another test may race for the same number: the X server that
# loses the lock exits, and the next number is tried.
e2e_start_xvfb() {
  local size=${1:-1920x1080x24} n pid i
  for n in $(seq 90 189); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 "$size" -nolisten tcp -noreset >"$E2E_WORK/xvfb.log" 2>&1 &
    pid=$!
    for _ in $(seq 100); do
      if ! kill -0 "$pid" 2>/dev/null; then break; fi
      if xdpyinfo -display ":$n" >/dev/null 2>&1 &&
        [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$pid" ]; then
        E2E_XVFB_PID=$pid
        export DISPLAY=":$n"
        e2e_log "Xvfb on $DISPLAY ($size)"
        return 0
      fi
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  e2e_log "could not start Xvfb on any display from :90 to :189"
  cat "$E2E_WORK/xvfb.log" 2>/dev/null
  return 1
}

# e2e_use_leak_suppressions: the sanitizer build reports leaks at exit, and
# those of system libraries (lsan.supp) are not ours. scripts/test.sh sets
# this for every test; here it holds for a test run on its own too.
e2e_use_leak_suppressions() {
  local here
  here=$(cd "$(dirname "$0")" && pwd)
  case "${LSAN_OPTIONS:-}" in
    *suppressions=*) ;;
    *) export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/lsan.supp:print_suppressions=0" ;;
  esac
}

# e2e_begin [XVFB_SIZE]: checks the arguments, makes the private directories
# and starts the X server. Exits the test when any of it fails.
e2e_begin() {
  if [ -z "$PRISMORA" ] || [ ! -x "$PRISMORA" ]; then
    echo "usage: $0 PATH_TO_PRISMORA [PATH_TO_E2E_WINDOW]" >&2
    echo "$E2E_NAME: prismora not found or not executable: '${PRISMORA}'" >&2
    exit 1
  fi
  local tool
  for tool in Xvfb xdpyinfo xwininfo xdotool import identify compare timeout; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "$E2E_NAME: '$tool' is missing (run scripts/deps.sh test)" >&2
      exit 1
    fi
  done
  E2E_WORK=$(mktemp -d "${TMPDIR:-/tmp}/prismora-e2e.XXXXXX") || exit 1
  trap e2e_cleanup EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  mkdir -p "$E2E_WORK/config" "$E2E_WORK/data" "$E2E_WORK/state" "$E2E_WORK/runtime"
  chmod 700 "$E2E_WORK/runtime"
  export PRISMORA_CONFIG_DIR="$E2E_WORK/config"
  export PRISMORA_DATA_DIR="$E2E_WORK/data"
  export PRISMORA_STATE_DIR="$E2E_WORK/state"
  export XDG_RUNTIME_DIR="$E2E_WORK/runtime"
  export QT_QPA_PLATFORM=xcb
  e2e_use_leak_suppressions
  unset XSCREENSAVER_WINDOW WAYLAND_DISPLAY
  e2e_start_xvfb "${1:-1920x1080x24}" || exit 1
}

# e2e_run_prismora ARGS...: starts prismora in the background; its pid is in
# E2E_LAST_PID, its output in E2E_OUT and E2E_ERR. Variables set before the
# call (VAR=value e2e_run_prismora ...) reach the program's environment.
e2e_run_prismora() {
  E2E_RUNS=$((E2E_RUNS + 1))
  E2E_OUT="$E2E_WORK/prismora.$E2E_RUNS.out"
  E2E_ERR="$E2E_WORK/prismora.$E2E_RUNS.err"
  printf '%s\n' "$*" >"$E2E_WORK/prismora.$E2E_RUNS.args"
  "$PRISMORA" "$@" </dev/null >"$E2E_OUT" 2>"$E2E_ERR" &
  E2E_LAST_PID=$!
  E2E_PIDS+=("$E2E_LAST_PID")
}

# Shows what the last prismora wrote on stderr, when a check failed since the
# last time this was called.
e2e_show_stderr() {
  [ "$E2E_FAILED" -gt "$E2E_FAILED_SHOWN" ] || return 0
  E2E_FAILED_SHOWN=$E2E_FAILED
  if [ -s "${E2E_ERR:-}" ]; then
    e2e_log "prismora's stderr:"
    head -n 40 "$E2E_ERR" | sed 's/^/    /'
  fi
}

# e2e_open_window [WIDTHxHEIGHT]: starts the helper that owns a window of that
# size (640x400 by default); the window's id (hex) is in E2E_WINDOW_ID and the
# helper's pid in E2E_WINDOW_PID.
e2e_open_window() {
  if [ -z "$E2E_WINDOW" ] || [ ! -x "$E2E_WINDOW" ]; then
    e2e_fail "the e2e_window helper was not given or is not executable: '${E2E_WINDOW}'"
    return 1
  fi
  local out="$E2E_WORK/window.$SECONDS.$RANDOM.out" deadline=$((SECONDS + 5))
  "$E2E_WINDOW" "$@" </dev/null >"$out" 2>"$out.err" &
  E2E_WINDOW_PID=$!
  E2E_PIDS+=("$E2E_WINDOW_PID")
  E2E_WINDOW_ID=""
  while [ "$SECONDS" -lt "$deadline" ]; do
    E2E_WINDOW_ID=$(head -n 1 "$out" 2>/dev/null)
    [ -n "$E2E_WINDOW_ID" ] && return 0
    e2e_is_running "$E2E_WINDOW_PID" || break
    sleep 0.1
  done
  e2e_fail "the e2e_window helper printed no window id: $(cat "$out.err" 2>/dev/null)"
  return 1
}

# The ids of the root window's children (the top-level windows), one a line.
e2e_top_level_windows() {
  timeout 10 xwininfo -root -children | awk '$1 ~ /^0x[0-9a-f]+$/ {print $1}' | sort
}

# True when window ID is mapped and viewable.
e2e_is_viewable() {
  timeout 10 xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'
}

# e2e_geometry ID: prints WIDTHxHEIGHT of the window.
e2e_geometry() {
  timeout 10 xwininfo -id "$1" 2>/dev/null |
    awk '/^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {if (w != "") print w "x" h}'
}

# e2e_screenshot WINDOW FILE: saves the window's contents ("root" for the screen).
e2e_screenshot() {
  timeout 20 import -silent -window "$1" "$2" 2>>"$E2E_WORK/import.log"
}

# True when the image has a pixel that is not black and more than one colour:
# a drawn picture, not an empty or flat-filled window.
e2e_has_picture() {
  local facts max colours
  facts=$(timeout 20 identify -format '%[max] %k' "$1" 2>/dev/null) || return 1
  read -r max colours <<<"$facts"
  [ "${max:-0}" != 0 ] && [ "${colours:-0}" -gt 1 ]
}

# e2e_changed_pixels A B: prints how many pixels differ between two images,
# or "uncompared" when they could not be compared (a missing file, two sizes),
# which fails a numeric test whichever way it asks.
e2e_changed_pixels() {
  local count
  count=$(timeout 20 compare -metric AE "$1" "$2" null: 2>&1)
  # Counts of a million and more come as 1.2e+06.
  if [[ $count =~ ^[0-9]+(\.[0-9]+)?(e\+[0-9]+)?$ ]]; then
    printf '%.0f\n' "$count"
  else
    echo uncompared
  fi
}

# e2e_name_mask IMAGE OUT: white where the pattern name's full grey lies at the
# bottom centre of a 640x480 frame, black elsewhere.
e2e_name_mask() {
  timeout 20 convert "$1" -crop 400x24+120+456 +repage -fill black +opaque '#808080' \
    -fill white -opaque '#808080' "$2"
}

# e2e_lit_pixels MASK [OTHER]: how many of the mask's pixels are white (and,
# given OTHER, black in that mask).
e2e_lit_pixels() {
  local only=()
  [ $# -eq 2 ] && only=(-fx 'u>v')
  timeout 20 convert "$@" "${only[@]}" -format '%[fx:int(mean*w*h+0.5)]' info:
}

# e2e_check_name_shown WHAT EXPECTED SHOWN: checks that the name's mask SHOWN
# (e2e_name_mask of a screenshot) is the mask EXPECTED. Particles are drawn
# over the text, so a trail crossing the name may hide some of its pixels (up
# to a quarter); but no full grey may lie where the expected name has none, as
# it would for a name moved, scaled or another one.
e2e_check_name_shown() {
  local lit extra missing
  lit=$(e2e_lit_pixels "$2")
  extra=$(e2e_lit_pixels "$3" "$2")
  missing=$(e2e_lit_pixels "$2" "$3")
  local what="$1 (${lit:-no} name pixels expected; ${extra:-?} more shown, ${missing:-?} hidden)"
  if [ "${lit:-0}" -gt 40 ] && [ "${extra:-2}" -le 1 ] && [ "${missing:-$lit}" -le $((${lit:-0} / 4)) ]; then
    e2e_pass "$what"
  else
    e2e_fail "$what"
  fi
}

# e2e_render_named_frame: renders a first frame to make the settings of a first
# run, switches "Show Names" on and automatic morphs off (so that no opening
# morph fades the name), renders again and writes the name's mask of the first
# frame to $E2E_WORK/rendered-mask.png.
e2e_render_named_frame() {
  "$PRISMORA" --render "$E2E_WORK/first" --frames 1 --config-dir "$PRISMORA_CONFIG_DIR" >/dev/null 2>&1
  sed -i -e 's/"Show Names"=dword:00000000/"Show Names"=dword:00000001/' \
    -e 's/"Morph Settings"=dword:00000001/"Morph Settings"=dword:00000000/' "$PRISMORA_CONFIG_DIR/settings.reg"
  e2e_check "the settings switch the names on" grep -q '"Show Names"=dword:00000001' "$PRISMORA_CONFIG_DIR/settings.reg"
  if "$PRISMORA" --render "$E2E_WORK/frames" --frames 20 --every 20 --config-dir "$PRISMORA_CONFIG_DIR" \
    >"$E2E_WORK/render.out" 2>&1; then
    e2e_pass "the render command ran"
  else
    e2e_fail "the render command failed: $(cat "$E2E_WORK/render.out")"
  fi
  e2e_name_mask "$E2E_WORK/frames/frame-00001.png" "$E2E_WORK/rendered-mask.png"
}

# e2e_cpu_ticks PID: the CPU time the process has used so far, in clock ticks.
e2e_cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null; }

# e2e_cpu_share PID SECONDS PARTS: the process's share of one core over that
# span, in PARTS parts of a core (100: percent, 1000: tenths of a percent).
e2e_cpu_share() {
  local before after
  before=$(e2e_cpu_ticks "$1")
  sleep "$2"
  after=$(e2e_cpu_ticks "$1")
  echo $(((after - before) * $3 / $(getconf CLK_TCK) / $2))
}

# e2e_changed_in_a_second WINDOW NAME: screenshots of the window a second
# apart ($E2E_WORK/NAME-1.png and NAME-2.png); prints how many pixels changed.
e2e_changed_in_a_second() {
  e2e_screenshot "$1" "$E2E_WORK/$2-1.png"
  sleep 1
  e2e_screenshot "$1" "$E2E_WORK/$2-2.png"
  e2e_changed_pixels "$E2E_WORK/$2-1.png" "$E2E_WORK/$2-2.png"
}

# e2e_find_window PID SECONDS: prints the first mapped window that PID owns
# (by _NET_WM_PID), waiting up to SECONDS for it.
e2e_find_window() {
  local pid=$1 deadline=$((SECONDS + $2)) id
  while [ "$SECONDS" -lt "$deadline" ]; do
    for id in $(timeout 5 xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
      printf '0x%x\n' "$id"
      return 0
    done
    e2e_is_running "$pid" || return 1
    sleep 0.2
  done
  return 1
}

# e2e_prismora_window ARGS...: with the mouse out of the way, starts prismora
# ARGS (its pid in E2E_LAST_PID) and waits up to 5 s for its window; true when
# it came, its id then in E2E_LAST_WINDOW.
e2e_prismora_window() {
  timeout 5 xdotool mousemove 0 0
  e2e_run_prismora "$@"
  E2E_LAST_WINDOW=$(e2e_find_window "$E2E_LAST_PID" 5)
}

# e2e_install PREFIX: installs what the build tree of $PRISMORA built into
# PREFIX (cmake --install); its output is in $E2E_WORK/install.log.
e2e_install() {
  local build
  build=$(cd "$(dirname "$PRISMORA")/../.." && pwd)
  if [ ! -f "$build/CMakeCache.txt" ]; then
    e2e_log "no build tree above $PRISMORA"
    return 1
  fi
  timeout 120 cmake --install "$build" --prefix "$1" >"$E2E_WORK/install.log" 2>&1
}

e2e_finish() {
  printf '%s: %d passed, %d failed\n' "$E2E_NAME" "$E2E_PASSED" "$E2E_FAILED"
  [ "$E2E_FAILED" -eq 0 ] && [ "$E2E_PASSED" -gt 0 ]
  exit $?
}
