#!/usr/bin/env bash
# The windowed player as a user drives it: it opens 320 pixels wide and on
# top, a resize keeps its picture 4:3, the menu works from the keyboard, Exit
# stores the window under "Window" and the next start opens there; "Run
# Prismora now!" starts the saver full screen while the player pauses, and
# coming back to the window resumes it. lumiowindow is the program built
# beside prismora; prismora is found on PATH.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 1280x1024x24

LUMIO=$(cd "$(dirname "$PRISMORA")/../lumiowindow" && pwd)/lumiowindow
SETTINGS="$PRISMORA_CONFIG_DIR/settings.reg"
PATH="$(dirname "$PRISMORA"):$PATH"
export PATH

stored() { grep -A20 -F 'Prismora\Window]' "$SETTINGS" 2>/dev/null | grep -m1 -F "\"$1\"=" | cut -d= -f2; }
dword() { printf '%d' "0x$(stored "$1" | sed 's/^dword://')"; }

# start_player: runs lumiowindow; its pid in PLAYER_PID, its window in PLAYER.
start_player() {
  E2E_RUNS=$((E2E_RUNS + 1))
  E2E_ERR="$E2E_WORK/lumiowindow.$E2E_RUNS.err"
  "$LUMIO" </dev/null >"$E2E_WORK/lumiowindow.$E2E_RUNS.out" 2>"$E2E_ERR" &
  PLAYER_PID=$!
  E2E_PIDS+=("$PLAYER_PID")
  PLAYER=$(e2e_find_window "$PLAYER_PID" 10) || return 1
  sleep 1
  return 0
}

# Position and size of the player's window: "X Y W H".
placement() {
  timeout 10 xwininfo -id "$PLAYER" 2>/dev/null |
    awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /^ *Width:/ {w=$2} /^ *Height:/ {h=$2}
         END {print x, y, w, h}'
}

menu() {
  timeout 5 xdotool windowfocus --sync "$PLAYER" 2>/dev/null
  timeout 5 xdotool key --delay 150 "$@"
  sleep 0.5
}

if ! start_player; then
  e2e_fail "lumiowindow showed no window within 10 s"
  e2e_show_stderr
  e2e_finish
fi
read -r _ _ W0 H0 <<<"$(placement)"
e2e_check "a first run opens 320 pixels wide (${W0}x${H0})" [ "$W0" = 320 ]
# The client area under the menu bar is 4:3; the bar's height is the rest.
BAR=$((H0 - 240))
e2e_check "its picture area is 320x240 under a menu bar of $BAR pixels" [ "$BAR" -gt 0 ] && [ "$BAR" -lt 60 ]
e2e_check "it asks to stay on top" sh -c "xprop -id $PLAYER _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE"
e2e_screenshot "$PLAYER" "$E2E_WORK/first.png"
e2e_check "it draws the animation" e2e_has_picture "$E2E_WORK/first.png"

# A taller window: the width follows.
timeout 5 xdotool windowsize "$PLAYER" 320 $((300 + BAR))
sleep 1.5
read -r _ _ WT HT <<<"$(placement)"
e2e_check "made 300 high inside, it is 400 wide (${WT}x${HT})" [ "$WT" = 400 ] && [ "$HT" = $((300 + BAR)) ]
# A wider window: the height follows.
timeout 5 xdotool windowsize "$PLAYER" 520 $((300 + BAR))
timeout 5 xdotool windowmove "$PLAYER" 200 150
sleep 1.5
read -r X1 Y1 W1 H1 <<<"$(placement)"
e2e_check "widened to 520, it is $((390 + BAR)) high (${W1}x${H1})" [ "$W1" = 520 ] && [ "$H1" = $((390 + BAR)) ]
e2e_screenshot "$PLAYER" "$E2E_WORK/resized.png"

# File > Low Density from the keyboard; the option is stored at once.
menu alt+f d
e2e_check "File > Low Density is stored at once" [ "$(dword "Low Density")" = 1 ]
# File > Memory > Use System Memory: stored, with a word on when it counts.
menu alt+f m s
BOX=""
for _ in $(seq 30); do
  for id in $(timeout 5 xdotool search --onlyvisible --name '^Prismora$' 2>/dev/null); do
    [ "$(printf '0x%x' "$id")" = "$PLAYER" ] || BOX=$id
  done
  [ -n "$BOX" ] && break
  sleep 0.2
done
e2e_check "Use System Memory shows a message" [ -n "$BOX" ]
e2e_screenshot root "$E2E_WORK/memory-message.png"
[ -n "$BOX" ] && timeout 5 xdotool windowfocus --sync "$BOX" 2>/dev/null
timeout 5 xdotool key Return
sleep 0.5
e2e_check "and is stored" [ "$(dword "Use System Memory")" = 1 ]
# File > Exit.
menu alt+f x
if e2e_wait_exit "$PLAYER_PID" 10; then
  e2e_check "File > Exit ends the player with 0" [ "$E2E_STATUS" = 0 ]
else
  e2e_fail "File > Exit did not end the player"
fi
e2e_check "the stored size is the new one" [ "$(dword "Window Width")" = 520 ] && [ "$(dword "Window Height")" = $((390 + BAR)) ]
e2e_check "the stored place is the new one ($(dword "Window Left"),$(dword "Window Top"))" \
  [ "$(dword "Window Left")" = "$X1" ] && [ "$(dword "Window Top")" = "$Y1" ]
e2e_check "the stored state is normal" [ "$(dword "Window State")" = 1 ]

# The next start opens there.
if start_player; then
  read -r X2 Y2 W2 H2 <<<"$(placement)"
  e2e_check "restarted at $X2,$Y2 ${W2}x$H2" [ "$X2" = "$X1" ] && [ "$Y2" = "$Y1" ] && [ "$W2" = 520 ] && [ "$H2" = "$H1" ]

  # File > Run Prismora now!: the saver covers the screen, the player pauses.
  menu alt+f u
  SAVER=""
  for _ in $(seq 50); do
    for id in $(timeout 5 xdotool search --onlyvisible --name '^Prismora$' 2>/dev/null); do
      [ "$(printf '0x%x' "$id")" = "$PLAYER" ] && continue
      [ "$(e2e_geometry "$id")" = 1280x1024 ] && SAVER=$id
    done
    [ -n "$SAVER" ] && break
    sleep 0.2
  done
  e2e_check "Run Prismora now! shows the saver full screen" [ -n "$SAVER" ]
  sleep 1
  e2e_screenshot root "$E2E_WORK/saver.png"
  before=$(e2e_cpu_ticks "$PLAYER_PID")
  sleep 2
  after=$(e2e_cpu_ticks "$PLAYER_PID")
  e2e_check "the player pauses meanwhile (CPU ticks $before -> $after)" [ $((after - before)) -le 4 ]
  if [ -n "$SAVER" ]; then
    e2e_check "the saver is still showing" e2e_is_viewable "$SAVER"
    timeout 5 xdotool key Escape
    for _ in $(seq 50); do
      e2e_is_viewable "$SAVER" || break
      sleep 0.1
    done
    e2e_check "a key ends the saver" sh -c "! xwininfo -id $SAVER 2>/dev/null | grep -q IsViewable"
  fi
  # Back in the player: it restarts and draws again.
  timeout 5 xdotool mousemove --window "$PLAYER" 100 100 click 1
  timeout 5 xdotool windowfocus --sync "$PLAYER" 2>/dev/null
  sleep 1
  before=$(e2e_cpu_ticks "$PLAYER_PID")
  sleep 1
  after=$(e2e_cpu_ticks "$PLAYER_PID")
  e2e_check "coming back resumes the player (CPU ticks $before -> $after)" [ $((after - before)) -gt 4 ]
  e2e_screenshot "$PLAYER" "$E2E_WORK/resumed.png"
  e2e_check "and it draws" e2e_has_picture "$E2E_WORK/resumed.png"
  menu alt+f x
  e2e_wait_exit "$PLAYER_PID" 10 || e2e_fail "the second player did not end"
else
  e2e_fail "the player did not start again"
fi
e2e_show_stderr
e2e_finish
