#!/usr/bin/env bash
# The command line: --help, the answers to bad options, and the settings
# entry points, which open the settings dialog.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 1920x1080x24

# run_to_end SECONDS ARGS...: runs prismora to its end; the status is in
# E2E_STATUS, empty when it had to be stopped.
run_to_end() {
  local seconds=$1
  shift
  e2e_run_prismora "$@"
  if ! e2e_wait_exit "$E2E_LAST_PID" "$seconds"; then
    e2e_stop "$E2E_LAST_PID"
    E2E_STATUS=""
  fi
}

run_to_end 10 --help
e2e_check "--help ends with exit code 0 (got ${E2E_STATUS:-no exit})" [ "${E2E_STATUS:-x}" = 0 ]
missing=""
for word in /s /c /p --window -window-id -root; do
  grep -q -F -e "$word" "$E2E_OUT" || missing="$missing $word"
done
e2e_check "--help mentions /s /c /p --window -window-id -root${missing:+ (missing:$missing)}" [ -z "$missing" ]

# A bad command line is answered with one line on stderr and exit code 2.
bad_command_lines=(
  "--bogus"
  "-window-id zz"
  "-window-id"
  "--window-id 0xZZ"
  "/p zz"
)
for line in "${bad_command_lines[@]}"; do
  read -r -a args <<<"$line"
  run_to_end 10 "${args[@]}"
  e2e_check "'$line' ends with exit code 2 (got ${E2E_STATUS:-no exit})" [ "${E2E_STATUS:-x}" = 2 ]
  lines=$(wc -l <"$E2E_ERR")
  e2e_check "'$line' writes exactly one line on stderr (got $lines)" [ "$lines" -eq 1 ]
  e2e_show_stderr
done

# Each way into the settings shows the dialog titled "Prismora Settings";
# Escape cancels it and the program ends with exit code 0.
check_settings_dialog() {
  local label=$1
  shift
  e2e_run_prismora "$@"
  local pid=$E2E_LAST_PID dialog=""
  dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '^Prismora Settings$' 2>/dev/null | head -n 1)
  if [ -z "$dialog" ]; then
    e2e_fail "$label: no window titled \"Prismora Settings\" within 10 s"
    e2e_show_stderr
    e2e_stop "$pid"
    return
  fi
  e2e_pass "$label: the settings dialog appeared"
  sleep 0.5
  timeout 5 xdotool windowfocus --sync "$dialog" 2>/dev/null
  timeout 5 xdotool key Escape
  if e2e_wait_exit "$pid" 5; then
    e2e_check "$label: Escape cancels it, exit code 0 (got $E2E_STATUS)" [ "$E2E_STATUS" -eq 0 ]
  else
    e2e_fail "$label: still running 5 s after Escape"
    e2e_stop "$pid"
  fi
  e2e_show_stderr
}

check_settings_dialog /c /c
check_settings_dialog --settings --settings
check_settings_dialog "no arguments"
e2e_finish
