#!/usr/bin/env bash
# prismora --idle under a headless sway: nothing while idleness is inhibited;
# the saver starts after an idle second, a key ends it, it starts again after
# another idle second, and SIGTERM ends the watcher with its saver. Without an
# idle source it says so and exits 1.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
# shellcheck source-path=SCRIPTDIR source=wayland_lib.sh
source "$(dirname "$0")/wayland_lib.sh"

wl_begin
export XDG_SESSION_TYPE=wayland
export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_WORK/no-bus"  # no GNOME monitor to find

WAYLAND_DISPLAY=no-such-display e2e_run_prismora --idle 1
if e2e_wait_exit "$E2E_LAST_PID" 5; then
  e2e_check "no idle source: exit 1 (got $E2E_STATUS)" [ "$E2E_STATUS" -eq 1 ]
  names_three() { [ "$(wc -l <"$E2E_ERR")" -eq 1 ] && grep -q 'ext-idle-notify-v1 and org_kde_kwin_idle .* org.gnome.Mutter.IdleMonitor' "$E2E_ERR"; }
  e2e_check "no idle source: one line naming the three it looked for" names_three
else
  e2e_fail "no idle source: still running after 5 s"
fi
# gone_within PID SECONDS: PID (the watcher's child, not ours) ended in time.
gone_within() {
  local deadline=$((SECONDS + $2))
  while e2e_is_running "$1"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}
# wait_for_saver WATCHER OTHER_THAN DRAWN: the pid of the watcher's saver (not
# OTHER_THAN) once one has drawn more than DRAWN times in the log, within 10 s.
wait_for_saver() {
  local deadline=$((SECONDS + 10)) child drawn
  while [ "$SECONDS" -lt "$deadline" ]; do
    child=$(pgrep -P "$1" | grep -vxF "${2:-none}" | head -n 1)
    drawn=$(grep -c 'drawing' "$PRISMORA_STATE_DIR/Prismora.txt" 2>/dev/null)
    [ -n "$child" ] && [ "${drawn:-0}" -gt "$3" ] && echo "$child" && return 0
    sleep 0.1
  done
  return 1
}

# A window that inhibits idleness (as a video player does) holds the saver off.
e2e_run_prismora --window
player=$E2E_LAST_PID
for _ in $(seq 50); do  # once its window is there
  wl_swaymsg '[app_id="prismora"] inhibit_idle open' >/dev/null 2>&1 && break
  sleep 0.2
done
e2e_run_prismora --idle=1
watcher=$E2E_LAST_PID
sleep 2.5
e2e_check "an idle inhibitor holds the saver off" [ -z "$(pgrep -P "$watcher")" ]
e2e_stop "$player"
: >"$PRISMORA_STATE_DIR/Prismora.txt"  # the saver's lines only, from here on
start=$SECONDS
first=$(wait_for_saver "$watcher" "" 0)
e2e_check "the saver starts after an idle second (drawing after $((SECONDS - start)) s)" [ -n "$first" ]
e2e_check "the watcher names its source" grep -qE 'ext-idle-notify-v1|org_kde_kwin_idle' "$E2E_ERR"
sleep 0.7  # as a user would: the saver ends on input once it has drawn
wl_type -k b
e2e_check "a key (B) ends the saver" gone_within "${first:-0}" 5
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
