#!/usr/bin/env bash
# Settings flags: `--window --pattern NAME --names` shows that pattern's name
# (held for the first interval), the settings file stays byte for byte as it
# was, a bad flag is one line and exit code 2, and in a host's window a bad
# flag or an unknown pattern is logged while the saver runs on.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 1280x1024x24
LOG="$PRISMORA_STATE_DIR/Prismora.txt"

# The name of one pattern as the render command draws it, into a mask.
rendered_name() {
  "$PRISMORA" --render "$E2E_WORK/$1" --frames 1 --config-dir "$PRISMORA_CONFIG_DIR" --pattern "$2" --names \
    -no-morph >"$E2E_WORK/$1.out" 2>&1 || e2e_fail "the render of $2 failed: $(cat "$E2E_WORK/$1.out")"
  e2e_name_mask "$E2E_WORK/$1/frame-00001.png" "$E2E_WORK/$1-mask.png"
}

# A first run stores the complete settings; the names stay off in them.
"$PRISMORA" --render "$E2E_WORK/first" --frames 1 --config-dir "$PRISMORA_CONFIG_DIR" >/dev/null 2>&1
cp "$PRISMORA_CONFIG_DIR/settings.reg" "$E2E_WORK/settings.before"
e2e_check "the stored settings have the names off" grep -q '"Show Names"=dword:00000000' "$E2E_WORK/settings.before"

rendered_name kandy "Brisel's Kandy"
rendered_name aura aura
lit=$(e2e_lit_pixels "$E2E_WORK/kandy-mask.png")
e2e_check "--names draws the name though the settings have it off ($lit full-grey pixels)" [ "${lit:-0}" -gt 40 ]
differ=$(e2e_changed_pixels "$E2E_WORK/kandy-mask.png" "$E2E_WORK/aura-mask.png")
e2e_check "another --pattern, another name ($differ pixels differ)" [ "$differ" -gt 40 ]

# The window, with automatic morphs on: the pattern asked for is held.
if e2e_prismora_window --window --pattern brisels-kandy --names; then
  pid=$E2E_LAST_PID window=$E2E_LAST_WINDOW
  sleep 3
  e2e_screenshot "$window" "$E2E_WORK/window.png"
  e2e_name_mask "$E2E_WORK/window.png" "$E2E_WORK/window-mask.png"
  e2e_check_name_shown "--window --pattern brisels-kandy --names shows that name after 3 s" \
    "$E2E_WORK/kandy-mask.png" "$E2E_WORK/window-mask.png"
  e2e_stop "$pid"
else
  e2e_fail "no window within 5 s"
fi
e2e_show_stderr
e2e_check "the settings file is byte for byte as it was" cmp -s "$E2E_WORK/settings.before" \
  "$PRISMORA_CONFIG_DIR/settings.reg"

# Mistakes on the command line: one line, exit code 2, no window.
for line in "--window --pattern no-such-pattern" "--window --max-fps 1000" "/s -morph-interval=x" \
  "--window --names=1" "--pattern zelo"; do
  read -r -a args <<<"$line"
  e2e_run_prismora "${args[@]}"
  if e2e_wait_exit "$E2E_LAST_PID" 10; then
    lines=$(wc -l <"$E2E_ERR")
    e2e_check "'$line': exit code 2 and one line on stderr (got $E2E_STATUS, $lines lines)" \
      [ "$E2E_STATUS:$lines" = "2:1" ]
  else
    e2e_fail "'$line': still running after 10 s"
    e2e_stop "$E2E_LAST_PID"
  fi
done

# A host's window: the bad flag and the unknown pattern go to the log.
e2e_open_window || exit 1
helper=$E2E_WINDOW_PID
e2e_run_prismora -window-id "$E2E_WINDOW_ID" -max-fps 5 -pattern no-such-pattern -names
pid=$E2E_LAST_PID
sleep 3
if e2e_is_running "$pid"; then
  e2e_pass "a host's window with a bad flag: still running after 3 s"
  e2e_check "... the refused flag is logged" grep -q "Ignored settings flags: -max-fps must be a whole number from 25 to 999, not 5" "$LOG"
  e2e_check "... and the unknown pattern" grep -q 'no pattern is called "no-such-pattern"; the saver chooses one' "$LOG"
  e2e_stop "$pid"
else
  e2e_wait_exit "$pid" 1
  e2e_fail "a host's window with a bad flag: ended by itself, status $E2E_STATUS"
fi
e2e_stop "$helper" 5
e2e_show_stderr
e2e_check "the settings file is still as it was" cmp -s "$E2E_WORK/settings.before" "$PRISMORA_CONFIG_DIR/settings.reg"
e2e_finish
