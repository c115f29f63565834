#!/usr/bin/env bash
# SIGTERM, as a screen-saver host stops its hack: prismora cleans up and dies of
# the signal itself (status 143), both drawing into a foreign window and at
# full screen.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 1920x1080x24

# check_sigterm LABEL ARGS...: the literal word ID in ARGS is replaced by the
# id of a fresh helper window.
check_sigterm() {
  local label=$1 helper="" args=() word
  shift
  for word in "$@"; do
    if [ "$word" = ID ]; then
      e2e_open_window || return
      helper=$E2E_WINDOW_PID
      word=$E2E_WINDOW_ID
    fi
    args+=("$word")
  done
  e2e_run_prismora "${args[@]}"
  local pid=$E2E_LAST_PID
  sleep 3
  if e2e_is_running "$pid"; then
    kill -TERM "$pid"
    if e2e_wait_exit "$pid" 5; then
      e2e_check "$label: killed by SIGTERM, status 143 (got $E2E_STATUS)" [ "$E2E_STATUS" -eq 143 ]
    else
      e2e_fail "$label: still running 5 s after SIGTERM"
      e2e_stop "$pid"
    fi
  else
    e2e_wait_exit "$pid" 1
    e2e_fail "$label: prismora ended before SIGTERM, status $E2E_STATUS"
  fi
  e2e_show_stderr
  [ -n "$helper" ] && e2e_stop "$helper" 5
}

check_sigterm window-id -window-id ID
check_sigterm fullscreen /s
e2e_finish
