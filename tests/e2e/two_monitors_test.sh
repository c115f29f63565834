#!/usr/bin/env bash
# Two monitors (RandR monitors on one Xvfb screen, 1280x720 each, the left one
# primary) over a desktop of a known colour: `prismora /s` shows the picture on
# the left and nothing of the desktop on the right; a small move there is
# jitter, a real move, a click or a key with the pointer there ends it;
# `--all-monitors` shows the picture on both; monitors removed and added while
# it runs (the primary among them) leave it running, covered everywhere, with
# the picture on the primary.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 2560x720x24

for tool in xrandr xsetroot convert; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    e2e_fail "'$tool' is missing (run scripts/deps.sh test)"
    e2e_finish
  fi
done

LEFT=1280x720+0+0
RIGHT=1280x720+1280+0
DESKTOP=3366cc

# Both monitors, the left one holding the output (so it is the primary).
two_monitors() {
  timeout 5 xrandr --delmonitor left >/dev/null 2>&1
  timeout 5 xrandr --delmonitor right >/dev/null 2>&1
  timeout 5 xrandr --setmonitor left 1280/338x720/190+0+0 screen >/dev/null &&
    timeout 5 xrandr --setmonitor right 1280/338x720/190+1280+0 none >/dev/null &&
    timeout 5 xrandr --output screen --primary
}
monitor_count() { timeout 5 xrandr --listmonitors | awk 'NR == 1 {print $2}'; }

# count_colour FILE GEOMETRY HEX: pixels of exactly that colour in the area.
count_colour() {
  timeout 20 convert "$1" -crop "$2" +repage -alpha off -fill black +opaque "#$3" -fill white -opaque "#$3" \
    -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null || echo -1
}
# count_lit FILE GEOMETRY: pixels that are not black in the area.
count_lit() {
  timeout 20 convert "$1" -crop "$2" +repage -alpha off -fill white +opaque black \
    -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null || echo -1
}
shot() { e2e_screenshot root "$E2E_WORK/$1.png"; }
crop() { timeout 20 convert "$E2E_WORK/$1.png" -crop "$2" +repage "$E2E_WORK/$1-$3.png"; }

# wait_for_picture NAME GEOMETRY...: screenshots until every area shows a
# picture (up to 10 s: the sanitizer build starts slowly); the last is NAME.
wait_for_picture() {
  local name=$1 deadline=$((SECONDS + 10)) area ok i
  shift
  while :; do
    shot "$name"
    ok=1
    i=0
    for area in "$@"; do
      i=$((i + 1))
      crop "$name" "$area" "$i"
      e2e_has_picture "$E2E_WORK/$name-$i.png" || ok=0
    done
    [ "$ok" = 1 ] && return 0
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.5
  done
}

# start_saver ARGS...: starts it and waits for its picture on the left.
start_saver() {
  e2e_run_prismora "$@"
  pid=$E2E_LAST_PID
  if ! e2e_find_window "$pid" 10 >/dev/null; then
    e2e_fail "prismora $* showed no window within 10 s"
    e2e_show_stderr
    return 1
  fi
  if ! wait_for_picture "start" "$LEFT"; then
    e2e_fail "prismora $*: no picture on the primary monitor within 10 s"
    return 1
  fi
}

# ends_by WHAT: the saver ends within 5 s with exit code 0.
ends_by() {
  if e2e_wait_exit "$pid" 5; then
    e2e_check "$1 ends it with exit code 0 (got $E2E_STATUS)" [ "$E2E_STATUS" -eq 0 ]
  else
    e2e_fail "still running 5 s after $1"
    e2e_stop "$pid"
  fi
  e2e_show_stderr
}

if ! two_monitors || [ "$(monitor_count)" != 2 ]; then
  e2e_fail "the X server did not take two RandR monitors: $(timeout 5 xrandr --listmonitors 2>&1 | tr '\n' ' ')"
  e2e_finish
fi
timeout 5 xsetroot -solid "#$DESKTOP"
shot desktop
desktop_right=$(count_colour "$E2E_WORK/desktop.png" "$RIGHT" "$DESKTOP")
e2e_check "before it starts, the desktop colour fills the right monitor ($desktop_right pixels)" \
  [ "$desktop_right" -eq $((1280 * 720)) ]

# /s: the picture on the primary, the other monitor black; jitter there is
# ignored, a real move ends it.
timeout 5 xdotool mousemove 1900 360
if start_saver /s; then
  shot covered
  lit=$(count_lit "$E2E_WORK/covered.png" "$RIGHT")
  e2e_check "/s: the right monitor is all black ($lit pixels lit)" [ "$lit" -eq 0 ]
  seen=$(count_colour "$E2E_WORK/covered.png" 2560x720+0+0 "$DESKTOP")
  e2e_check "/s: the desktop colour shows nowhere ($seen pixels)" [ "$seen" -eq 0 ]
  timeout 5 xdotool mousemove 1902 362
  sleep 0.3
  timeout 5 xdotool mousemove 1904 363
  sleep 1
  e2e_check "/s: a move of 2 pixels on the right monitor leaves it running" e2e_is_running "$pid"
  # Sideways only: a position clamped to the picture's edge would not move.
  timeout 5 xdotool mousemove 2300 363
  ends_by "a real mouse move sideways on the right monitor"
fi

timeout 5 xdotool mousemove 2000 300
if start_saver /s; then
  timeout 5 xdotool click 1
  ends_by "a click on the right monitor"
fi

timeout 5 xdotool mousemove 2000 300
if start_saver /s; then
  timeout 5 xdotool key b
  ends_by "a key with the pointer on the right monitor"
fi

# --all-monitors: the picture on both.
timeout 5 xdotool mousemove 640 360
if start_saver /s --all-monitors; then
  e2e_check "--all-monitors: a picture on both monitors" wait_for_picture both "$LEFT" "$RIGHT"
  seen=$(count_colour "$E2E_WORK/both.png" 2560x720+0+0 "$DESKTOP")
  e2e_check "--all-monitors: the desktop colour shows nowhere ($seen pixels)" [ "$seen" -eq 0 ]
  timeout 5 xdotool key b
  ends_by "a key under --all-monitors"
fi

# Monitors come and go while it runs.
timeout 5 xdotool mousemove 640 360
if start_saver /s; then
  # Where the mouse rests, as the saver sees it (a move of a pixel is no input).
  timeout 5 xdotool mousemove 641 361
  timeout 5 xrandr --delmonitor right >/dev/null
  sleep 1
  e2e_check "the right monitor removed: still running" e2e_is_running "$pid"
  timeout 5 xrandr --setmonitor right 1280/338x720/190+1280+0 none >/dev/null
  sleep 1.5
  e2e_check "the right monitor back: still running" e2e_is_running "$pid"
  shot readded
  lit=$(count_lit "$E2E_WORK/readded.png" "$RIGHT")
  e2e_check "the right monitor back: covered black ($lit pixels lit)" [ "$lit" -eq 0 ]

  # The primary goes away: the right monitor becomes the primary and the
  # picture moves there; the whole screen's own monitor appears meanwhile.
  timeout 5 xrandr --delmonitor left >/dev/null
  sleep 1
  e2e_check "the primary removed: still running" e2e_is_running "$pid"
  e2e_check "the primary removed: the picture moved to the right monitor" wait_for_picture moved "$RIGHT"
  seen=$(count_colour "$E2E_WORK/moved.png" 2560x720+0+0 "$DESKTOP")
  e2e_check "the primary removed: the desktop colour shows nowhere ($seen pixels)" [ "$seen" -eq 0 ]
  # The mouse has not moved, but the picture it is measured from has: a
  # nudge now is still a nudge.
  timeout 5 xdotool mousemove 643 362
  sleep 0.3
  timeout 5 xdotool mousemove 644 363
  sleep 1
  e2e_check "the primary removed: a nudge of the mouse leaves it running" e2e_is_running "$pid"

  # The left monitor comes back as the primary: the picture returns.
  timeout 5 xrandr --setmonitor left 1280/338x720/190+0+0 screen >/dev/null
  timeout 5 xrandr --output screen --primary
  sleep 1
  e2e_check "the left monitor back as primary: still running" e2e_is_running "$pid"
  if wait_for_picture returned "$LEFT"; then
    e2e_pass "the left monitor back as primary: the picture is there again"
  else
    e2e_fail "the left monitor back as primary: no picture on it"
  fi
  sleep 0.5
  shot returned-right
  lit=$(count_lit "$E2E_WORK/returned-right.png" "$RIGHT")
  e2e_check "the left monitor back as primary: the right one is black again ($lit pixels lit)" [ "$lit" -eq 0 ]
  if e2e_is_running "$pid"; then
    timeout 5 xdotool key b
    ends_by "a key after the monitors changed"
  else
    e2e_wait_exit "$pid" 1
    e2e_fail "ended while the monitors changed, status $E2E_STATUS"
    e2e_show_stderr
  fi
fi
e2e_finish
