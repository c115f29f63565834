#!/usr/bin/env bash
# The settings dialog as a user drives it: change "Max Speed" and a pattern's
# Trail Length, copy the pattern under a new name, press OK; the settings file
# holds both, and a second opening shows them (its OK writes back what it
# shows). Screenshots of the dialog collapsed, expanded and at twice the scale
# are kept in the work directory.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 2600x1600x24

SETTINGS="$PRISMORA_CONFIG_DIR/settings.reg"
UX=0
UY=0

# open_dialog [VAR=value...]: starts the dialog, its window in DIALOG.
open_dialog() {
  env "$@" "$PRISMORA" --settings </dev/null >"$E2E_WORK/dialog.$SECONDS.out" 2>"$E2E_WORK/dialog.err" &
  E2E_LAST_PID=$!
  E2E_PIDS+=("$E2E_LAST_PID")
  DIALOG=$(timeout 10 xdotool search --sync --onlyvisible --name '^Prismora Settings$' 2>/dev/null | head -n 1)
  [ -n "$DIALOG" ] || return 1
  sleep 0.5
  timeout 5 xdotool windowfocus --sync "$DIALOG" 2>/dev/null
  return 0
}

# click_du X Y: a left click at dialog units (X, Y) of the dialog.
click_du() {
  local x y
  x=$(awk -v u="$1" -v s="$UX" 'BEGIN {printf "%d", u * s}')
  y=$(awk -v u="$2" -v s="$UY" 'BEGIN {printf "%d", u * s}')
  timeout 5 xdotool mousemove --window "$DIALOG" "$x" "$y" click 1
  sleep 0.3
}

# measure: pixels per dialog unit from the expanded dialog's size.
measure() {
  local size
  size=$(e2e_geometry "$DIALOG")
  UX=$(awk -v w="${size%x*}" 'BEGIN {print w / 510}')
  UY=$(awk -v h="${size#*x}" 'BEGIN {print h / 356}')
}

# Ends a process this shell did not start (the detached saver).
stop_detached() {
  kill -TERM "$1" 2>/dev/null
  for _ in $(seq 50); do
    e2e_is_running "$1" || return 0
    sleep 0.1
  done
  kill -KILL "$1" 2>/dev/null
}

stored() { grep -A40 -F "$1" "$SETTINGS" 2>/dev/null | grep -m1 -F "\"$2\"=" | cut -d= -f2; }

if ! open_dialog; then
  e2e_fail "no window titled \"Prismora Settings\" within 10 s"
  e2e_show_stderr
  e2e_finish
fi
e2e_pass "prismora --settings shows \"Prismora Settings\""
collapsed=$(e2e_geometry "$DIALOG")
e2e_screenshot "$DIALOG" "$E2E_WORK/collapsed.png"
# "Show Pattern Settings" sits at (345, 5), 76 x 14, in both states; measure
# with the collapsed width first, which is the full width.
UX=$(awk -v w="${collapsed%x*}" 'BEGIN {print w / 510}')
UY=$UX
click_du 383 12
measure
expanded=$(e2e_geometry "$DIALOG")
e2e_check "Show Pattern Settings expands the dialog ($collapsed -> $expanded)" \
  [ "${expanded#*x}" -gt "${collapsed#*x}" ]
e2e_screenshot "$DIALOG" "$E2E_WORK/expanded.png"

# Max Speed: the field at (398, 135).
click_du 410 141
timeout 5 xdotool key ctrl+a
timeout 5 xdotool type --delay 50 60
# Trail Length: the slider at (36, 239), 108 wide; End takes it to 1000.
click_du 90 245
timeout 5 xdotool key End
sleep 0.3
# Copy at (425, 228): the name dialog asks for a name.
click_du 463 235
name_dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '^Prismora New Pattern$' 2>/dev/null | head -n 1)
if [ -n "$name_dialog" ]; then
  e2e_pass "Copy asks for a name in \"Prismora New Pattern\""
  e2e_screenshot "$name_dialog" "$E2E_WORK/name.png"
  timeout 5 xdotool windowfocus --sync "$name_dialog" 2>/dev/null
  timeout 5 xdotool key ctrl+a
  timeout 5 xdotool type --delay 50 "Long Trails"
  timeout 5 xdotool key Return
  sleep 0.5
else
  e2e_fail "Copy showed no name dialog"
fi
timeout 5 xdotool windowfocus --sync "$DIALOG" 2>/dev/null
# OK at (425, 5).
click_du 463 12
if e2e_wait_exit "$E2E_LAST_PID" 10; then
  e2e_check "OK ends the dialog with exit code 0 (got $E2E_STATUS)" [ "$E2E_STATUS" = 0 ]
else
  e2e_fail "the dialog is still open 10 s after OK"
  e2e_stop "$E2E_LAST_PID"
fi

main_key='[HKEY_CURRENT_USER\Software\Quillfen\Prismora]'
copy_key='[HKEY_CURRENT_USER\Software\Quillfen\Prismora\Patterns\Long Trails]'
e2e_check "the file holds Max FPS 60 (got $(stored "$main_key" "Max FPS"))" \
  [ "$(stored "$main_key" "Max FPS")" = dword:0000003c ]
e2e_check "the file holds the copy with Trail Length 1000 (got $(stored "$copy_key" "Trail Length"))" \
  [ "$(stored "$copy_key" "Trail Length")" = dword:000003e8 ]
e2e_check "the copy is the selected pattern (Preset $(stored "$main_key" "Preset"))" \
  [ "$(stored "$main_key" "Preset")" = dword:00000014 ]

# A second opening shows what was saved: its OK writes back what it shows.
cp "$SETTINGS" "$E2E_WORK/first.reg"
if open_dialog; then
  measure
  e2e_screenshot "$DIALOG" "$E2E_WORK/reopened.png"
  # Preview at (345, 22) saves first, then starts the saver full screen
  # beside the open dialog.
  click_du 383 29
  saver=$(timeout 10 xdotool search --sync --onlyvisible --name '^Prismora$' 2>/dev/null | head -n 1)
  if [ -n "$saver" ]; then
    saver_pid=$(xdotool getwindowpid "$saver" 2>/dev/null)
    e2e_pass "Preview starts the saver (window $saver, pid ${saver_pid:-unknown})"
    e2e_check "the saver runs as prismora /s" grep -q -a -x -F /s <(tr '\0' '\n' <"/proc/${saver_pid:-0}/cmdline")
    [ -n "$saver_pid" ] && stop_detached "$saver_pid"
  else
    e2e_fail "Preview showed no saver window within 10 s"
  fi
  e2e_check "the dialog stays open during the preview" e2e_is_running "$E2E_LAST_PID"
  timeout 5 xdotool windowfocus --sync "$DIALOG" 2>/dev/null
  click_du 463 12
  e2e_wait_exit "$E2E_LAST_PID" 10 || e2e_stop "$E2E_LAST_PID"
  e2e_check "the second opening's OK keeps Max FPS 60" [ "$(stored "$main_key" "Max FPS")" = dword:0000003c ]
  e2e_check "the second opening's OK keeps the copy selected" [ "$(stored "$main_key" "Preset")" = dword:00000014 ]
  e2e_check "the second opening's OK keeps the copy's Trail Length" \
    [ "$(stored "$copy_key" "Trail Length")" = dword:000003e8 ]
else
  e2e_fail "the dialog did not open a second time"
fi

# Focus is no click: Tab, then Shift+Tab, round every control of the expanded
# dialog neither save, close nor ask; what was typed before stays for OK.
cp "$SETTINGS" "$E2E_WORK/before-tab.reg"
untouched() {
  e2e_is_running "$E2E_LAST_PID" && cmp -s "$SETTINGS" "$E2E_WORK/before-tab.reg" &&
    [ -z "$(timeout 5 xdotool search --onlyvisible --name '^Prismora$' 2>/dev/null)" ]
}
if open_dialog; then
  measure
  click_du 410 141
  timeout 5 xdotool key ctrl+a type --delay 50 42
  for keys in Tab shift+Tab; do
    # shellcheck disable=SC2046  # one key name per word
    timeout 20 xdotool key --delay 25 $(yes "$keys" | head -n 70)
    sleep 0.5
    e2e_check "$keys round every control leaves the dialog open, unsaved, asking nothing" untouched
  done
  click_du 463 12
  e2e_wait_exit "$E2E_LAST_PID" 10 || e2e_stop "$E2E_LAST_PID"
  e2e_check "OK then keeps the Max Speed typed before ($(stored "$main_key" "Max FPS"))" \
    [ "$(stored "$main_key" "Max FPS")" = dword:0000002a ]
else
  e2e_fail "the dialog did not open for the tabbing"
fi

# Twice the scale: the same layout, twice the pixels.
if open_dialog QT_SCALE_FACTOR=2; then
  scaled=$(e2e_geometry "$DIALOG")
  e2e_screenshot "$DIALOG" "$E2E_WORK/scaled2x.png"
  e2e_check "at QT_SCALE_FACTOR=2 the dialog is twice as wide ($expanded -> $scaled)" \
    [ "${scaled%x*}" -ge $((2 * ${expanded%x*} - 4)) ]
  timeout 5 xdotool key Escape
  e2e_wait_exit "$E2E_LAST_PID" 10 || e2e_stop "$E2E_LAST_PID"
  e2e_check "Escape cancels the dialog (exit code ${E2E_STATUS:-none})" [ "${E2E_STATUS:-x}" = 0 ]
else
  e2e_fail "the dialog did not open at twice the scale"
fi
if [ -n "${PRISMORA_E2E_KEEP:-}" ]; then
  mkdir -p "$PRISMORA_E2E_KEEP" && cp "$E2E_WORK"/*.png "$PRISMORA_E2E_KEEP"/
fi
e2e_show_stderr
e2e_finish
