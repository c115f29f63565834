#!/usr/bin/env bash
# prismora --idle under a headless sway: the saver starts after a second
# without input, a key ends it, and it starts again after another idle second;
# SIGTERM ends the watcher and its saver. Without any idle source, and with a
# bad number of seconds, it says so on one line and exits 1 and 2.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
# shellcheck source-path=SCRIPTDIR source=wayland_lib.sh
source "$(dirname "$0")/wayland_lib.sh"

if [ -z "$PRISMORA" ] || [ ! -x "$PRISMORA" ]; then
  echo "usage: $0 PATH_TO_PRISMORA" >&2
  exit 1
fi
E2E_WORK=$(mktemp -d "${TMPDIR:-/tmp}/prismora-e2e.XXXXXX") || exit 1
trap 'wl_stop_sway; e2e_cleanup' EXIT
trap 'exit 143' TERM
mkdir -p "$E2E_WORK/config" "$E2E_WORK/state" "$E2E_WORK/runtime"
chmod 700 "$E2E_WORK/runtime"
export PRISMORA_CONFIG_DIR="$E2E_WORK/config" PRISMORA_DATA_DIR="$E2E_WORK/config"
export PRISMORA_STATE_DIR="$E2E_WORK/state" XDG_RUNTIME_DIR="$E2E_WORK/runtime"
e2e_use_leak_suppressions
unset DISPLAY XSCREENSAVER_WINDOW WAYLAND_DISPLAY QT_QPA_PLATFORM
# No bus to find GNOME's monitor on.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_WORK/no-bus"

one_line_with() { [ "$(wc -l <"$2")" -eq 1 ] && grep -qF -- "$1" "$2"; }

# gone_within PID SECONDS: PID (not a child of ours) ended within SECONDS.
gone_within() {
  local deadline=$((SECONDS + $2))
  while e2e_is_running "$1"; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.1
  done
}

# check_refusal LABEL STATUS TEXT ARGS...: prismora ARGS ends at once with
# STATUS and one line of stderr holding TEXT.
check_refusal() {
  local label=$1 status=$2 text=$3
  shift 3
  e2e_run_prismora "$@"
  if e2e_wait_exit "$E2E_LAST_PID" 5; then
    e2e_check "$label: exit $status (got $E2E_STATUS)" [ "$E2E_STATUS" -eq "$status" ]
    e2e_check "$label: one line naming $text" one_line_with "$text" "$E2E_ERR"
  else
    e2e_fail "$label: still running after 5 s"
    e2e_stop "$E2E_LAST_PID"
  fi
  e2e_show_stderr
}

check_refusal "seconds 0" 2 "--idle must be a whole number of seconds from 1 to 86400, not 0" --idle 0
WAYLAND_DISPLAY=no-such-display check_refusal "no idle source" 1 \
  "ext-idle-notify-v1 and org_kde_kwin_idle on the Wayland display and org.gnome.Mutter.IdleMonitor" --idle 1

if ! wl_have_sway || ! command -v wtype >/dev/null 2>&1; then
  e2e_log "skipped the session checks: sway or wtype is missing (run scripts/deps.sh test)"
  e2e_finish
fi
wl_start_sway || exit 1
export XDG_SESSION_TYPE=wayland

# wait_for_saver WATCHER OTHER_THAN SECONDS: the pid of the watcher's saver
# (not OTHER_THAN) once one runs, within SECONDS.
wait_for_saver() {
  local deadline=$((SECONDS + $3)) child
  while [ "$SECONDS" -lt "$deadline" ]; do
    child=$(pgrep -P "$1" | grep -vxF "${2:-none}" | head -n 1)
    if [ -n "$child" ] && grep -q -- '/s' "/proc/$child/cmdline" 2>/dev/null; then
      echo "$child"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# The saver takes input once it draws; a key sooner could be lost on the way.
wait_for_drawing() {
  local count=$1 drawn
  for _ in $(seq 100); do
    drawn=$(grep -c 'drawing' "$PRISMORA_STATE_DIR/Prismora.txt" 2>/dev/null)
    [ "${drawn:-0}" -ge "$count" ] && return 0
    sleep 0.1
  done
  return 1
}

e2e_run_prismora --idle 1
watcher=$E2E_LAST_PID
start=$SECONDS
first=$(wait_for_saver "$watcher" "" 5)
e2e_check "the saver starts after an idle second (took $((SECONDS - start)) s)" [ -n "$first" ]
e2e_check "the watcher names the source it uses" grep -qE 'ext-idle-notify-v1|org_kde_kwin_idle' "$E2E_ERR"
if [ -n "$first" ] && wait_for_drawing 1; then
  sleep 1
  if grep -q 'full screen (Wayland)' "$PRISMORA_STATE_DIR/Prismora.txt"; then
    wtype -k space
    e2e_check "a key ends the saver" gone_within "$first" 3
  else
    # Qt's Wayland plugin misses the keys of a keyboard that comes and goes,
    # as wtype's does: the saver is stopped here instead, and the key only
    # tells the watcher the user is back.
    e2e_log "the saver runs through Qt's Wayland plugin: stopping it with SIGTERM instead of a key"
    kill -TERM "$first"
    gone_within "$first" 3
    wtype -k space
  fi
  second=$(wait_for_saver "$watcher" "$first" 5)
  e2e_check "the saver starts again after another idle second" [ -n "$second" ]
  e2e_check "the watcher still runs" e2e_is_running "$watcher"
  kill -TERM "$watcher"
  if e2e_wait_exit "$watcher" 8; then
    e2e_check "SIGTERM ends the watcher (status 143, got $E2E_STATUS)" [ "$E2E_STATUS" -eq 143 ]
    e2e_check "and its saver" gone_within "${second:-0}" 1
  else
    e2e_fail "the watcher runs on 8 s after SIGTERM"
  fi
else
  e2e_fail "the saver never drew"
fi
e2e_show_stderr
e2e_finish
