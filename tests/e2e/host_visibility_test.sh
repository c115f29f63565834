#!/usr/bin/env bash
# In a host's window at least 640 pixels wide the saver's own rules hold: the
# picture is drawn at the window's size. While the host hides the window or
# another covers it, nothing is drawn and the program sleeps; it draws again
# once it can be seen.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 1920x1080x24
LOG="$PRISMORA_STATE_DIR/Prismora.txt"

if [ -z "$E2E_WINDOW" ] || [ ! -x "$E2E_WINDOW" ]; then
  e2e_fail "the e2e_window helper was not given or is not executable: '${E2E_WINDOW}'"
  e2e_finish
fi

# The host's window, driven through a pipe: "unmap", "map", "destroy".
mkfifo "$E2E_WORK/window.in"
"$E2E_WINDOW" 1280x720 <"$E2E_WORK/window.in" >"$E2E_WORK/window.out" 2>"$E2E_WORK/window.err" &
helper=$!
E2E_PIDS+=("$helper")
exec 7>"$E2E_WORK/window.in"
window=""
for _ in $(seq 50); do
  window=$(head -n 1 "$E2E_WORK/window.out" 2>/dev/null)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  e2e_fail "the helper window did not appear: $(cat "$E2E_WORK/window.err")"
  e2e_finish
fi

# Without music, whose decoding goes on while hidden: the shares below are
# the drawing's alone.
e2e_run_prismora -window-id "$window" --no-music
pid=$E2E_LAST_PID
shown_id=$(printf '0x%x' $((window)))
deadline=$((SECONDS + 20))
until grep -qs "in a host's window, window $shown_id, drawing" "$LOG" || [ "$SECONDS" -ge "$deadline" ]; do
  sleep 0.2
done
e2e_check "a 1280x720 host window is drawn at its size ($(grep -o 'drawing [0-9x]*' "$LOG" | head -n 1))" \
  grep -q "in a host's window, window $shown_id, drawing 1280x720" "$LOG"
sleep 2
e2e_screenshot "$window" "$E2E_WORK/shown.png"
e2e_check "a picture in the window" e2e_has_picture "$E2E_WORK/shown.png"
busy=$(e2e_cpu_share "$pid" 2 100)

echo unmap >&7
sleep 1
idle=$(e2e_cpu_share "$pid" 3 100)
if [ "$idle" -le 3 ] && [ "$idle" -lt "$busy" ]; then
  e2e_pass "hidden, the program sleeps: ${idle}% of a core, ${busy}% while drawing"
else
  e2e_fail "hidden, the program still works: ${idle}% of a core, ${busy}% while drawing"
fi

echo map >&7
sleep 1
# A window over all of it: as good as hidden.
"$E2E_WINDOW" 1920x1080 </dev/null >"$E2E_WORK/cover.out" 2>&1 &
cover=$!
E2E_PIDS+=("$cover")
for _ in $(seq 50); do [ -s "$E2E_WORK/cover.out" ] && break; sleep 0.1; done
sleep 2
covered=$(e2e_cpu_share "$pid" 3 100)
if [ "$covered" -le 3 ]; then
  e2e_pass "wholly covered, the program sleeps: ${covered}% of a core"
else
  e2e_fail "wholly covered, the program still works: ${covered}% of a core"
fi
e2e_stop "$cover" 5
sleep 1
changed=$(e2e_changed_in_a_second "$window" again)
e2e_check "shown again, it draws again ($changed pixels changed in a second)" [ "$changed" -gt 100 ]

if e2e_is_running "$pid"; then
  kill -TERM "$pid"
  e2e_wait_exit "$pid" 5
  e2e_check "SIGTERM ends it (status $E2E_STATUS)" [ "${E2E_STATUS:-0}" -eq 143 ]
else
  e2e_fail "the program ended by itself"
fi
e2e_show_stderr
echo destroy >&7
exec 7>&-
e2e_wait_exit "$helper" 5 || e2e_stop "$helper"
e2e_finish
