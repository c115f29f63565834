#!/usr/bin/env bash
# A window enlarged past the frame shows the frame scaled nearest-neighbour
# with black bars: with "Show Names" on, the pattern name's pixels of a
# rendered 640x480 frame are exactly those read back from the picture in a
# 1000x600 window (sampled at each frame pixel's centre), and the bars beside
# it are black. Made the frame's own size again, the window shows the frame
# as it is, put from the frame's own memory.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 1280x1024x24

e2e_render_named_frame

if e2e_prismora_window --window; then
  pid=$E2E_LAST_PID window=$E2E_LAST_WINDOW
  timeout 5 xdotool windowsize "$window" 1000 600
  sleep 1.5
  e2e_check "the window took the new size ($(e2e_geometry "$window"))" [ "$(e2e_geometry "$window")" = 1000x600 ]
  e2e_screenshot "$window" "$E2E_WORK/window.png"
  # The 640x480 frame fills 800x600 from x = 100.
  timeout 20 convert "$E2E_WORK/window.png" -crop 800x600+100+0 +repage -sample 640x480 "$E2E_WORK/picture.png"
  e2e_check "the picture is drawn" e2e_has_picture "$E2E_WORK/picture.png"
  e2e_name_mask "$E2E_WORK/picture.png" "$E2E_WORK/screen-mask.png"
  e2e_check_name_shown "the scaled window shows the same name pixel for pixel" "$E2E_WORK/rendered-mask.png" \
    "$E2E_WORK/screen-mask.png"
  for bar in 100x600+0+0 100x600+900+0; do
    max=$(timeout 20 convert "$E2E_WORK/window.png" -crop "$bar" +repage -format '%[max]' info:)
    e2e_check "the bar at $bar is black (max $max)" [ "$max" = 0 ]
  done
  timeout 5 xdotool windowsize "$window" 640 480
  sleep 1.5
  e2e_check "the window took the frame's size ($(e2e_geometry "$window"))" [ "$(e2e_geometry "$window")" = 640x480 ]
  e2e_screenshot "$window" "$E2E_WORK/unscaled.png"
  e2e_name_mask "$E2E_WORK/unscaled.png" "$E2E_WORK/unscaled-mask.png"
  e2e_check_name_shown "the unscaled window shows the same name pixel for pixel" "$E2E_WORK/rendered-mask.png" \
    "$E2E_WORK/unscaled-mask.png"
  e2e_stop "$pid"
else
  e2e_fail "no window within 5 s"
fi
e2e_show_stderr
e2e_finish
