#!/usr/bin/env bash
# The headless render command draws the same text as the screen: with "Show
# Names" on, the pattern name's pixels at the bottom of a rendered 640x480
# frame are exactly those of the 640x480 window.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 1280x1024x24

e2e_render_named_frame

if e2e_prismora_window --window; then
  pid=$E2E_LAST_PID window=$E2E_LAST_WINDOW
  sleep 1.5
  e2e_screenshot "$window" "$E2E_WORK/window.png"
  e2e_name_mask "$E2E_WORK/window.png" "$E2E_WORK/screen-mask.png"
  e2e_check_name_shown "the window shows the rendered name pixel for pixel" "$E2E_WORK/rendered-mask.png" \
    "$E2E_WORK/screen-mask.png"
  e2e_stop "$pid"
else
  e2e_fail "no window within 5 s"
fi
e2e_show_stderr
e2e_finish
