#!/usr/bin/env bash
# Full screen in a Wayland session (headless sway with two outputs and a
# magenta desktop): every output covered, the picture on one and black on
# the others, --output and --all-monitors, an output added while it runs
# covered and one removed let go, a command key kept and another key ending
# it, a nudge of the pointer kept and a real move, a click and a wheel turn
# ending it, SIGTERM; a locker started over it shows once a key ended it.
# The player's window shows its picture and keeps its stored position. Then
# under a headless Weston, which has no layer-shell: full screen through
# xdg-shell. Skipped when sway is not installed.
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=e2e_lib.sh
. "$here/e2e_lib.sh"
# shellcheck source=wayland_lib.sh
. "$here/wayland_lib.sh"

wl_begin
SECOND=$(wl_add_output 320x240 640) || { e2e_fail "sway made no second output"; e2e_finish; }
sleep 0.5
LOG="$PRISMORA_STATE_DIR/Prismora.txt"
# The pointer helper is built beside e2e_window.
POINTER="$(dirname "${E2E_WINDOW:-.}")/e2e_wl_pointer"

# pointer STEPS...: drives the seat's pointer (e2e_wl_pointer); the pause
# lets clients take the new pointer before it moves.
pointer() { timeout 10 "$POINTER" sleep 300 "$@" sleep 200 >>"$E2E_WORK/pointer.log" 2>&1; }

# ends_with WHAT: the last prismora ends with status 0 within 5 s.
ends_with() {
  if e2e_wait_exit "$E2E_LAST_PID" 5; then
    e2e_check "$1 ends it with status 0 (got $E2E_STATUS)" [ "$E2E_STATUS" -eq 0 ]
  else
    e2e_fail "$1 did not end it"
    e2e_stop "$E2E_LAST_PID"
  fi
}

# wl_run ARGS...: starts prismora and waits up to 8 s for its first frames.
wl_run() {
  : >"$LOG"
  e2e_run_prismora "$@"
  local deadline=$((SECONDS + 8))
  while [ "$SECONDS" -lt "$deadline" ]; do
    grep -q 'drawing' "$LOG" 2>/dev/null && sleep 0.7 && return 0
    e2e_is_running "$E2E_LAST_PID" || return 1
    sleep 0.1
  done
  return 1
}

# check_outputs WHAT PICTURE_OUTPUTS BLACK_OUTPUTS: no desktop colour left
# anywhere, a picture on the first list, all black on the second.
check_outputs() {
  local what=$1 name shot magenta
  wl_screenshot "$E2E_WORK/$what.png"
  magenta=$(wl_colour_pixels "$E2E_WORK/$what.png" "$WL_BACKGROUND")
  # Particles may now and then be drawn in the desktop's own colour.
  e2e_check "$what: no desktop shows (${magenta:-?} magenta pixels)" [ "${magenta:-99999}" -le 50 ]
  for name in $2; do
    shot="$E2E_WORK/$what-$name.png"
    wl_screenshot "$shot" "$name"
    e2e_check "$what: the picture is on $name" e2e_has_picture "$shot"
  done
  for name in $3; do
    shot="$E2E_WORK/$what-$name.png"
    wl_screenshot "$shot" "$name"
    e2e_check "$what: $name is black" [ "$(timeout 20 identify -format '%[max]' "$shot" 2>/dev/null)" = 0 ]
  done
}

# The picture on the first output, black on the second; an output added
# while it runs is covered black, and let go again when removed.
if wl_run /s; then
  e2e_check "the log names the Wayland full screen" grep -q 'full screen (Wayland), window its own, drawing 640x480' "$LOG"
  check_outputs first HEADLESS-1 "$SECOND"
  THIRD=$(wl_add_output 320x240 960)
  sleep 0.7
  check_outputs added HEADLESS-1 "$SECOND $THIRD"
  # sway 1.7 has no unplug for headless outputs; a disabled output is gone
  # for its clients all the same.
  wl_swaymsg output "$THIRD" unplug >/dev/null 2>&1 || wl_swaymsg output "$THIRD" disable >/dev/null
  sleep 0.5
  e2e_check "still running after $THIRD went" e2e_is_running "$E2E_LAST_PID"
  check_outputs removed HEADLESS-1 "$SECOND"
  # A command key steers the picture; any other key ends the saver.
  wl_type -k m
  sleep 0.5
  e2e_check "M (a command) keeps it running" e2e_is_running "$E2E_LAST_PID"
  wl_type -k b
  ends_with "B"
else
  e2e_fail "prismora /s drew nothing under sway: $(tail -n 3 "$E2E_ERR" "$LOG" 2>/dev/null)"
fi
e2e_show_stderr

# --output puts the picture on the output named; a nudge of the pointer
# leaves it; SIGTERM ends the run.
if wl_run /s --output "$SECOND"; then
  check_outputs named "$SECOND" HEADLESS-1
  e2e_check "the test's pointer moves" pointer move 1 0 sleep 200 move 2 1
  sleep 0.3
  e2e_check "a nudge of 3 pixels keeps it running" e2e_is_running "$E2E_LAST_PID"
  kill -TERM "$E2E_LAST_PID"
  if e2e_wait_exit "$E2E_LAST_PID" 5; then
    e2e_check "SIGTERM ends it with status 143 (got $E2E_STATUS)" [ "$E2E_STATUS" -eq 143 ]
  else
    e2e_fail "SIGTERM did not end it"
  fi
else
  e2e_fail "prismora /s --output $SECOND drew nothing"
fi
e2e_show_stderr

if wl_run /s --all-monitors; then
  check_outputs all "HEADLESS-1 $SECOND" ""
  pointer move 30 0
  ends_with "a move of 30 pixels"
else
  e2e_fail "prismora /s --all-monitors drew nothing"
fi
e2e_show_stderr

# A click and a turn of the wheel end it too.
for step in click wheel; do
  if wl_run /s; then
    pointer "$step"
    ends_with "a $step"
  else
    e2e_fail "prismora /s drew nothing before a $step"
  fi
done
e2e_show_stderr

# A locker started over the saver: swaylock of Debian 12 is an overlay surface
# as the saver's, which sway 1.7 keeps below the older one; the saver takes
# nothing the locker needs, so the first key ends it and the lock shows. The
# typing keyboard exists while the locker starts, as a real one would.
if command -v swaylock >/dev/null 2>&1 && wl_run /s; then
  timeout 10 wtype -s 2500 -k b &
  typist=$!
  sleep 0.5
  swaylock -c 00ff00 >"$E2E_WORK/swaylock.log" 2>&1 &
  locker=$!
  wait "$typist"
  ends_with "a key with the locker started"
  sleep 0.5
  wl_screenshot "$E2E_WORK/locked.png"
  green=$(wl_colour_pixels "$E2E_WORK/locked.png" '#00ff00')
  e2e_check "the lock shows on every output once the saver ended (${green:-0} green pixels)" \
    [ "${green:-0}" -ge $((640 * 480 + 320 * 240)) ]
  kill -USR1 "$locker" 2>/dev/null  # swaylock's unlock; it stays on SIGTERM
  e2e_wait_exit "$locker" 5 || kill -KILL "$locker" 2>/dev/null
fi

# The player's window, tiled on the first output, shows frames on black, not Qt's grey (flat
# or under see-through particles); closing it keeps the stored position Wayland never tells.
mkdir -p "$E2E_WORK/player" && PLAYER_SETTINGS="$E2E_WORK/player/settings.reg"
printf '%s\n' 'Windows Registry Editor Version 5.00' '' \
  '[HKEY_CURRENT_USER\Software\Quillfen\Prismora\Window]' '"Play Music"=dword:00000000' \
  '"Window Left"=dword:00000064' '"Window Top"=dword:00000032' >"$PLAYER_SETTINGS"
wl_swaymsg focus output HEADLESS-1 >/dev/null
PRISMORA="${PRISMORA%/*}/../lumiowindow/lumiowindow" PRISMORA_CONFIG_DIR="$E2E_WORK/player" e2e_run_prismora
shot="$E2E_WORK/player.png" shown=no
for _ in $(seq 60); do
  e2e_is_running "$E2E_LAST_PID" || break
  wl_screenshot "$shot" HEADLESS-1 && timeout 20 convert "$shot" -crop 640x400+0+60 +repage "$shot" &&
    e2e_has_picture "$shot" && [ "$(timeout 20 identify -format '%[fx:mean<0.5]' "$shot")" = 1 ] &&
    shown=yes && break
  sleep 0.25
done
e2e_check "the player's window shows its picture under sway" [ "$shown" = yes ]
wl_swaymsg '[app_id="lumiowindow"]' kill >/dev/null
e2e_check "the player's window closes when sway asks" e2e_wait_exit "$E2E_LAST_PID" 10
e2e_check "its stored position is kept" \
  [ "$(grep -cE '^"Window (Left"=dword:00000064|Top"=dword:00000032)' "$PLAYER_SETTINGS")" = 2 ]

# Weston: a fullscreen toplevel of the output's size, drawn until SIGTERM.
# Fresh settings, so the drawing size is the output's, not a stored one.
if command -v weston >/dev/null 2>&1 && wl_start_weston 800 600; then
  mkdir -p "$E2E_WORK/weston-config"
  if PRISMORA_CONFIG_DIR="$E2E_WORK/weston-config" WAYLAND_DISPLAY=$WL_WESTON_DISPLAY wl_run /s; then
    e2e_check "Weston: full screen at the output's size" \
      grep -q 'full screen (Wayland), window its own, drawing 800x600' "$LOG"
    sleep 1
    kill -TERM "$E2E_LAST_PID"
    e2e_check "Weston: SIGTERM ends it" e2e_wait_exit "$E2E_LAST_PID" 5
    frames=$(sed -n 's/.* \([0-9]*\) frames in .*/\1/p' "$LOG" | tail -n 1)
    e2e_check "Weston: frames were drawn (${frames:-none})" [ "${frames:-0}" -gt 10 ]
  else
    e2e_fail "prismora /s drew nothing under Weston: $(tail -n 3 "$E2E_ERR" "$LOG" 2>/dev/null)"
  fi
  wl_stop_weston
else
  e2e_log "Weston is not installed or did not start: its checks are left out"
fi
e2e_show_stderr
e2e_finish
