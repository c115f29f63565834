#!/usr/bin/env bash
# The saver in its own window (--window) and the windowed player stop drawing
# and sleep while nothing of their window can be seen: wholly covered by
# another window, or unmapped (what a window manager does to a minimised
# window; there is none under Xvfb). Shown again, they draw again at once.
# Without music, neither maps the sound libraries; with music, they are
# loaded from the sound module.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 1280x1024x24

LUMIO=$(cd "$(dirname "$PRISMORA")/../lumiowindow" && pwd)/lumiowindow

tenths() { printf '%d.%d%%' $(($1 / 10)) $(($1 % 10)); }
mapped_libraries() { awk '$6 ~ /\.so/ { print $6 }' "/proc/$1/maps" | sort -u; }

# covered_and_unmapped NAME PID WINDOW: the shares while shown, covered and
# unmapped, and the picture moving again after each.
covered_and_unmapped() {
  local name=$1 pid=$2 window=$3 busy covered hidden changed
  sleep 1
  busy=$(e2e_cpu_share "$pid" 3 1000)
  e2e_open_window || return
  timeout 5 xdotool windowsize "$E2E_WINDOW_ID" 1280 1024 windowmove "$E2E_WINDOW_ID" 0 0 windowraise \
    "$E2E_WINDOW_ID"
  sleep 1
  covered=$(e2e_cpu_share "$pid" 3 1000)
  if [ "$covered" -le 10 ] && [ "$covered" -lt "$busy" ]; then
    e2e_pass "$name wholly covered sleeps: $(tenths "$covered") of a core, $(tenths "$busy") shown"
  else
    e2e_fail "$name wholly covered still works: $(tenths "$covered") of a core, $(tenths "$busy") shown"
  fi
  e2e_stop "$E2E_WINDOW_PID" 5
  sleep 0.5
  changed=$(e2e_changed_in_a_second "$window" "$name-uncovered")
  e2e_check "$name uncovered draws again ($changed pixels changed in a second)" [ "$changed" -gt 100 ]

  timeout 5 xdotool windowunmap "$window"
  sleep 1
  hidden=$(e2e_cpu_share "$pid" 3 1000)
  if [ "$hidden" -le 10 ] && [ "$hidden" -lt "$busy" ]; then
    e2e_pass "$name unmapped sleeps: $(tenths "$hidden") of a core"
  else
    e2e_fail "$name unmapped still works: $(tenths "$hidden") of a core"
  fi
  timeout 5 xdotool windowmap "$window"
  sleep 0.5
  changed=$(e2e_changed_in_a_second "$window" "$name-mapped")
  e2e_check "$name mapped again draws again ($changed pixels changed in a second)" [ "$changed" -gt 100 ]
  e2e_check "$name is still running" e2e_is_running "$pid"
}

e2e_run_prismora --window --no-music
pid=$E2E_LAST_PID
if window=$(e2e_find_window "$pid" 10); then
  libraries=$(mapped_libraries "$pid")
  e2e_check "without music no sound library is mapped" \
    sh -c "! printf '%s\n' \"\$1\" | grep -Eq 'libgst|libcurl|libssl|prismora/sound.so'" _ "$libraries"
  covered_and_unmapped "prismora --window" "$pid" "$window"
  e2e_stop "$pid" 5
else
  e2e_fail "prismora --window showed no window within 10 s"
fi
e2e_show_stderr

# With music the module is loaded (silently: no sound device is used).
PRISMORA_NO_SOUND_DEVICE=1 e2e_run_prismora --window --music
pid=$E2E_LAST_PID
if window=$(e2e_find_window "$pid" 10); then
  sleep 1
  libraries=$(mapped_libraries "$pid")
  e2e_check "with music the sound module and GStreamer are mapped" \
    sh -c "printf '%s\n' \"\$1\" | grep -q 'prismora/sound.so' && printf '%s\n' \"\$1\" | grep -q libgstreamer" \
    _ "$libraries"
  e2e_stop "$pid" 5
else
  e2e_fail "prismora --window --music showed no window within 10 s"
fi
e2e_show_stderr

if [ -x "$LUMIO" ]; then
  # The player plays music by default; the shares are the drawing's alone.
  printf '%s\n' 'Windows Registry Editor Version 5.00' '' '[HKEY_CURRENT_USER\Software\Quillfen\Prismora]' \
    '"Music Index"=dword:ffffffff' '' '[HKEY_CURRENT_USER\Software\Quillfen\Prismora\Window]' \
    '"Play Music"=dword:00000000' >"$PRISMORA_CONFIG_DIR/settings.reg"
  "$LUMIO" </dev/null >"$E2E_WORK/lumiowindow.out" 2>"$E2E_WORK/lumiowindow.err" &
  player=$!
  E2E_PIDS+=("$player")
  if window=$(e2e_find_window "$player" 10); then
    covered_and_unmapped "lumiowindow" "$player" "$window"
    e2e_stop "$player" 5
  else
    e2e_fail "lumiowindow showed no window within 10 s"
  fi
else
  e2e_fail "lumiowindow is not beside prismora: $LUMIO"
fi
e2e_finish
