#!/usr/bin/env bash
# Mouse: under full screen a move of a pixel or so is not the user coming back;
# a real move ends the saver with exit code 0.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 1920x1080x24

timeout 5 xdotool mousemove 960 540
e2e_run_prismora /s
pid=$E2E_LAST_PID
sleep 2

if ! e2e_is_running "$pid"; then
  e2e_wait_exit "$pid" 1
  e2e_fail "prismora /s ended before any mouse move, status $E2E_STATUS"
  e2e_show_stderr
  e2e_finish
fi

timeout 5 xdotool mousemove 961 541
sleep 2
e2e_check "a 1-pixel move leaves it running" e2e_is_running "$pid"

timeout 5 xdotool mousemove 1500 900
if e2e_wait_exit "$pid" 5; then
  e2e_check "a large move ends it with exit code 0 (got $E2E_STATUS)" [ "$E2E_STATUS" -eq 0 ]
else
  e2e_fail "still running 5 s after the mouse moved to 1500,900"
fi
e2e_show_stderr
e2e_finish
