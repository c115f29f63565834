#!/usr/bin/env bash
# Foreign window, as XScreenSaver and xsecurelock use a hack: prismora draws into
# a window another process owns, maps no top-level window of its own, and ends
# quietly (exit code 0) once that window is destroyed. The window is given by
# -window-id in hex and in decimal, and by XSCREENSAVER_WINDOW with -root and
# with no mode at all.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 1920x1080x24

# check_foreign_window LABEL ID_FORM MODE_ARGS...: ID_FORM is hex or decimal;
# the literal word ID in MODE_ARGS is replaced by the id, and "env" as the
# first word passes the id in XSCREENSAVER_WINDOW instead.
check_foreign_window() {
  local label=$1 form=$2
  shift 2
  e2e_open_window || return
  local id=$E2E_WINDOW_ID helper=$E2E_WINDOW_PID
  [ "$form" = decimal ] && id=$((E2E_WINDOW_ID))
  local before="$E2E_WORK/$label.top-before" after="$E2E_WORK/$label.top-after"
  e2e_top_level_windows >"$before"

  local args=() word via_env=""
  for word in "$@"; do
    if [ "$word" = env ]; then via_env=$id; continue; fi
    [ "$word" = ID ] && word=$id
    args+=("$word")
  done
  if [ -n "$via_env" ]; then
    XSCREENSAVER_WINDOW=$via_env e2e_run_prismora "${args[@]}"
  else
    e2e_run_prismora "${args[@]}"
  fi
  local pid=$E2E_LAST_PID
  sleep 3

  if ! e2e_is_running "$pid"; then
    e2e_wait_exit "$pid" 1
    e2e_fail "$label: prismora ended within 3 s, status $E2E_STATUS"
    e2e_show_stderr
    e2e_stop "$helper"
    return
  fi
  e2e_screenshot "$E2E_WINDOW_ID" "$E2E_WORK/$label.png"
  e2e_check "$label: the window shows a picture" e2e_has_picture "$E2E_WORK/$label.png"

  e2e_top_level_windows >"$after"
  local new mapped=""
  for new in $(comm -13 "$before" "$after"); do
    e2e_is_viewable "$new" && mapped="$mapped $new"
  done
  e2e_check "$label: no top-level window of its own is mapped${mapped:+ (found$mapped)}" [ -z "$mapped" ]

  kill -TERM "$helper"
  if e2e_wait_exit "$pid" 5; then
    e2e_check "$label: ends with exit code 0 when the window is destroyed (got $E2E_STATUS)" \
      [ "$E2E_STATUS" -eq 0 ]
  else
    e2e_fail "$label: still running 5 s after its window was destroyed"
    e2e_stop "$pid"
  fi
  e2e_show_stderr
  e2e_wait_exit "$helper" 5 || e2e_stop "$helper"
}

check_foreign_window window-id-hex hex -window-id ID
check_foreign_window window-id-decimal decimal -window-id ID
check_foreign_window root-with-variable hex env -root
check_foreign_window variable-alone decimal env
e2e_finish
