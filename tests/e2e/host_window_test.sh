#!/usr/bin/env bash
# In a host's window: the options hack hosts pass are accepted, a start-up
# failure is logged (no box, no window of its own) and the program draws black
# until the host's SIGTERM; at our own settings, SIGTERM also ends a box at once.
# Music plays only where the host's window covers a whole monitor, not in a
# settings tool's preview, however big.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 1920x1080x24
LOG="$PRISMORA_STATE_DIR/Prismora.txt"

# Top-level windows on show (the toolkit keeps unmapped ones of its own).
viewable_windows() {
  local id
  for id in $(e2e_top_level_windows); do
    e2e_is_viewable "$id" && echo "$id"
  done | wc -l
}

# sigterm_ends LABEL PID: SIGTERM ends PID within 5 s by the signal (143).
sigterm_ends() {
  kill -TERM "$2"
  if e2e_wait_exit "$2" 5; then
    e2e_check "$1: SIGTERM ends it, status 143 (got $E2E_STATUS)" [ "$E2E_STATUS" -eq 143 ]
  else
    e2e_fail "$1: still running 5 s after SIGTERM"
    e2e_stop "$2"
  fi
  e2e_show_stderr
}

# xsecurelock's way: -root with the window in decimal; XScreenSaver adds options.
e2e_open_window || exit 1
helper=$E2E_WINDOW_PID
XSCREENSAVER_WINDOW=$((E2E_WINDOW_ID)) e2e_run_prismora -root -fps -install -mono -visual default -pair
pid=$E2E_LAST_PID
sleep 3
if e2e_is_running "$pid"; then
  e2e_pass "host options: still running after 3 s"
  e2e_check "host options: the ignored ones are logged" \
    grep -q "Ignored the host's options: -install -mono -visual default -pair" "$LOG"
  e2e_check "host options: the run's first line names version, mode, window and size" \
    grep -Eq "Prismora [0-9.]+, in a host's window, window $(printf '0x%x' $((E2E_WINDOW_ID))), drawing [0-9]+x[0-9]+" "$LOG"
  sigterm_ends "host options" "$pid"
else
  e2e_wait_exit "$pid" 1
  e2e_fail "host options: ended by itself, status $E2E_STATUS"
  e2e_show_stderr
fi
e2e_stop "$helper" 5

# A start-up failure in a host's window: logged, black, waits for SIGTERM.
e2e_open_window || exit 1
helper=$E2E_WINDOW_PID
windows_before=$(viewable_windows)
# A fresh settings folder, so that the missing installation folder is stored.
PRISMORA_INSTALL_DIR="$E2E_WORK/no-such-folder" e2e_run_prismora -window-id "$E2E_WINDOW_ID" --config-dir "$E2E_WORK/fresh1"
pid=$E2E_LAST_PID
sleep 3
if e2e_is_running "$pid"; then
  e2e_pass "failure in a host's window: still running (no restart loop)"
  e2e_check "failure in a host's window: the box's text is in the log" \
    grep -q "Error: Can't find the installation directory!" "$LOG"
  windows_after=$(viewable_windows)
  e2e_check "failure in a host's window: no window of its own ($windows_before before, $windows_after after)" \
    [ "$windows_after" -eq "$windows_before" ]
  if e2e_screenshot "$E2E_WINDOW_ID" "$E2E_WORK/failed.png"; then
    max=$(identify -format '%[max]' "$E2E_WORK/failed.png" 2>/dev/null)
    e2e_check "failure in a host's window: the window is black (max $max)" [ "${max:-1}" = 0 ]
  else
    e2e_fail "failure in a host's window: no screenshot"
  fi
  sigterm_ends "failure in a host's window" "$pid"
else
  e2e_wait_exit "$pid" 1
  e2e_fail "failure in a host's window: ended by itself, status $E2E_STATUS"
  e2e_show_stderr
fi
e2e_stop "$helper" 5

# A settings folder that cannot be used: one clear message naming it, and the
# saver still draws, on the default settings.
e2e_open_window || exit 1
helper=$E2E_WINDOW_PID
log_lines=$(wc -l <"$LOG")
e2e_run_prismora -window-id "$E2E_WINDOW_ID" --config-dir /proc/no-such-folder
pid=$E2E_LAST_PID
sleep 3
if e2e_is_running "$pid"; then
  this_run=$(tail -n +$((log_lines + 1)) "$LOG")
  e2e_check "unusable settings folder: the message names it" \
    grep -q "Error: Can't use the settings folder /proc/no-such-folder" <<<"$this_run"
  e2e_check "unusable settings folder: no second, vaguer message" \
    bash -c "! grep -q 'installation directory' <<<\"\$1\"" _ "$this_run"
  if e2e_screenshot "$E2E_WINDOW_ID" "$E2E_WORK/defaults.png"; then
    e2e_check "unusable settings folder: the saver draws" e2e_has_picture "$E2E_WORK/defaults.png"
  else
    e2e_fail "unusable settings folder: no screenshot"
  fi
  sigterm_ends "unusable settings folder" "$pid"
else
  e2e_wait_exit "$pid" 1
  e2e_fail "unusable settings folder: ended by itself, status $E2E_STATUS"
  e2e_show_stderr
fi
e2e_stop "$helper" 5

# A window of XScreenSaver 6's preview size stays silent; one over the whole
# monitor plays (silently here: no sound device is used).
for run in 725x407:0 1920x1080:1; do
  e2e_open_window "${run%:*}" || exit 1
  PRISMORA_NO_SOUND_DEVICE=1 e2e_run_prismora -window-id "$E2E_WINDOW_ID" --music
  for _ in $(seq 100); do grep -q "window $(printf '0x%x' $((E2E_WINDOW_ID))), drawing" "$LOG" && break; sleep 0.2; done
  sleep 1
  mapped=$(grep -c 'prismora/sound.so' "/proc/$E2E_LAST_PID/maps" 2>/dev/null)
  e2e_check "a ${run%:*} host window: music ${run#*:} (sound module mapped ${mapped:-0} times)" \
    [ "$((${mapped:-0} > 0))" = "${run#*:}" ]
  e2e_stop "$E2E_LAST_PID" 5
  e2e_stop "$E2E_WINDOW_PID" 5
done
e2e_check "the preview's silence is logged" grep -q "no music in a window smaller than a monitor" "$LOG"

# The same failure at the settings shows its box; SIGTERM ends it at once.
PRISMORA_INSTALL_DIR="$E2E_WORK/no-such-folder" e2e_run_prismora /c --config-dir "$E2E_WORK/fresh2"
pid=$E2E_LAST_PID
if timeout 10 xdotool search --sync --onlyvisible --name '^Prismora$' >/dev/null 2>&1; then
  e2e_pass "box at the settings: shown"
  sigterm_ends "box at the settings" "$pid"
else
  e2e_fail "box at the settings: no box titled Prismora within 10 s"
  e2e_show_stderr
  e2e_stop "$pid"
fi
# SIGTERM while the program is still starting: the same clean death, never an
# abort because the toolkit's connection to the display was interrupted.
statuses=""
for delay in 0.05 0.08 0.1 0.1 0.12 0.15 0.2 0.3; do
  e2e_run_prismora /s
  sleep "$delay"
  kill -TERM "$E2E_LAST_PID"
  if e2e_wait_exit "$E2E_LAST_PID" 10; then
    statuses="$statuses $E2E_STATUS"
  else
    statuses="$statuses hung"
    e2e_stop "$E2E_LAST_PID"
  fi
done
e2e_check "SIGTERM during start-up: status 143 every time (got$statuses)" \
  [ "$(echo "$statuses" | tr ' ' '\n' | grep -cvx -e 143 -e '')" -eq 0 ]
e2e_finish
