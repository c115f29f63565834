#!/usr/bin/env bash
# Full screen: `prismora /s` covers the whole 1920x1080 screen within 5 s, draws
# a moving picture, and a key press ends it with exit code 0.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 1920x1080x24

timeout 5 xdotool mousemove 960 540
e2e_run_prismora /s
pid=$E2E_LAST_PID

if window=$(e2e_find_window "$pid" 5); then
  e2e_pass "a window appeared within 5 s ($window)"
  geometry=$(e2e_geometry "$window")
  e2e_check "the window is 1920x1080 (got ${geometry:-nothing})" [ "$geometry" = 1920x1080 ]
else
  e2e_fail "no mapped window of pid $pid within 5 s"
  e2e_show_stderr
fi

sleep 1
e2e_screenshot root "$E2E_WORK/first.png"
sleep 1
e2e_screenshot root "$E2E_WORK/second.png"
e2e_check "the screen shows a picture (not all black, not one colour)" e2e_has_picture "$E2E_WORK/first.png"
changed=$(e2e_changed_pixels "$E2E_WORK/first.png" "$E2E_WORK/second.png")
e2e_check "the picture moves ($changed pixels changed in 1 s)" [ "$changed" -gt 100 ]

if e2e_is_running "$pid"; then
  timeout 5 xdotool key b
  if e2e_wait_exit "$pid" 5; then
    e2e_check "a key press ends it with exit code 0 (got $E2E_STATUS)" [ "$E2E_STATUS" -eq 0 ]
  else
    e2e_fail "still running 5 s after a key press"
  fi
else
  e2e_wait_exit "$pid" 1
  e2e_fail "prismora /s ended by itself with status $E2E_STATUS"
fi
e2e_show_stderr
e2e_finish
