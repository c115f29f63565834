#!/usr/bin/env bash
# prismora --idle under a headless sway: the saver starts after an idle second,
# a key ends it, it starts again after another idle second, and SIGTERM ends
# the watcher with its saver. Without an idle source it says so and exits 1.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
# shellcheck source-path=SCRIPTDIR source=wayland_lib.sh
source "$(dirname "$0")/wayland_lib.sh"

[ -x "$PRISMORA" ] || { echo "usage: $0 PATH_TO_PRISMORA" >&2 && exit 1; }
E2E_WORK=$(mktemp -d "${TMPDIR:-/tmp}/prismora-e2e.XXXXXX") || exit 1
trap 'wl_stop_sway; e2e_cleanup' EXIT
trap 'exit 143' TERM
mkdir -m 700 "$E2E_WORK/config" "$E2E_WORK/state" "$E2E_WORK/runtime"
export PRISMORA_CONFIG_DIR="$E2E_WORK/config" PRISMORA_DATA_DIR="$E2E_WORK/config"
export PRISMORA_STATE_DIR="$E2E_WORK/state" XDG_RUNTIME_DIR="$E2E_WORK/runtime"
e2e_use_leak_suppressions
unset DISPLAY XSCREENSAVER_WINDOW WAYLAND_DISPLAY QT_QPA_PLATFORM
export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_WORK/no-bus"  # no GNOME monitor to find

WAYLAND_DISPLAY=no-such-display e2e_run_prismora --idle 1
if e2e_wait_exit "$E2E_LAST_PID" 5; then
  e2e_check "no idle source: exit 1 (got $E2E_STATUS)" [ "$E2E_STATUS" -eq 1 ]
  names_three() { [ "$(wc -l <"$E2E_ERR")" -eq 1 ] && grep -q 'ext-idle-notify-v1 and org_kde_kwin_idle .* org.gnome.Mutter.IdleMonitor' "$E2E_ERR"; }
  e2e_check "no idle source: one line naming the three it looked for" names_three
else
  e2e_fail "no idle source: still running after 5 s"
fi
if ! wl_have_sway || ! command -v wtype >/dev/null 2>&1; then
  e2e_log "skipped the session checks: sway or wtype is missing (run scripts/deps.sh test)"
  e2e_finish
fi
wl_start_sway 1280x720 || exit 1
export XDG_SESSION_TYPE=wayland

# gone_within PID SECONDS: PID (the watcher's child, not ours) ended in time.
gone_within() {
  local deadline=$((SECONDS + $2))
  while e2e_is_running "$1"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}
# wait_for_saver WATCHER OTHER_THAN: the pid of the watcher's saver (not
# OTHER_THAN) once one draws, within 5 s: the saver takes input once it draws.
wait_for_saver() {
  local deadline=$((SECONDS + 5)) child drawn
  while [ "$SECONDS" -lt "$deadline" ]; do
    child=$(pgrep -P "$1" | grep -vxF "${2:-none}" | head -n 1)
    drawn=$(grep -c 'drawing' "$PRISMORA_STATE_DIR/Prismora.txt" 2>/dev/null)
    [ -n "$child" ] && [ "${drawn:-0}" -gt "$3" ] && echo "$child" && return 0
    sleep 0.1
  done
  return 1
}

e2e_run_prismora --idle 1
watcher=$E2E_LAST_PID
start=$SECONDS
first=$(wait_for_saver "$watcher" "" 0)
e2e_check "the saver starts after an idle second (drawing after $((SECONDS - start)) s)" [ -n "$first" ]
e2e_check "the watcher names its source" grep -qE 'ext-idle-notify-v1|org_kde_kwin_idle' "$E2E_ERR"
sleep 1
if grep -q 'full screen (Wayland)' "$PRISMORA_STATE_DIR/Prismora.txt"; then
  wtype -k space
  e2e_check "a key ends the saver" gone_within "${first:-0}" 3
else
  # Qt's Wayland plugin misses the keys of a keyboard that comes and goes, as
  # wtype's does: the saver is stopped instead, and the key tells the
  # watcher that the user is back.
  e2e_log "the saver runs through Qt's Wayland plugin: stopped with SIGTERM instead of a key"
  kill -TERM "${first:-0}" && gone_within "$first" 3
  wtype -k space
fi
second=$(wait_for_saver "$watcher" "$first" 1)
e2e_check "the saver starts again after another idle second" [ -n "$second" ]
kill -TERM "$watcher"
if e2e_wait_exit "$watcher" 8; then
  e2e_check "SIGTERM ends the watcher (status 143, got $E2E_STATUS)" [ "$E2E_STATUS" -eq 143 ]
  e2e_check "and its saver" gone_within "${second:-0}" 1
else
  e2e_fail "the watcher runs on 8 s after SIGTERM"
fi
e2e_show_stderr
e2e_finish
