#!/usr/bin/env bash
# The command line: --help (with every command key), the answers to bad
# options, the settings entry points, which open the settings dialog, a
# render's -fps, and the editing of the user's XScreenSaver list.
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
for word in /s /c /p --window -window-id -root --add-to-xscreensaver --remove-from-xscreensaver \
  Ctrl+1 Space Pause Esc F1 F2 F5 F6 F12 F11 " M " " P " " S " " N " " D "; do
  grep -q -F -e "$word" "$E2E_OUT" || missing="$missing '$word'"
done
e2e_check "--help mentions every mode and command key${missing:+ (missing:$missing)}" [ -z "$missing" ]

# A bad command line is answered with one line on stderr and exit code 2.
bad_command_lines=(
  "--bogus"
  "-window-id zz"
  "-window-id"
  "--window-id 0xZZ"
  "/p zz"
  "--add-to-xscreensaver --root"
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

# A render with -fps draws the red frame-rate readout at the bottom.
red_in_render() {
  run_to_end 60 --render "$E2E_WORK/render$1" --frames 8 --every 8 ${2:+"$2"}
  timeout 20 convert "$E2E_WORK/render$1/frame-00001.png" -crop 640x40+0+440 txt:- 2>/dev/null | grep -ci '#FF0000'
}
plain=$(red_in_render 1) rate=$(red_in_render 2 -fps)
e2e_check "--render -fps draws the frame rate ($plain red pixels without, $rate with)" [ "$rate" -gt $((plain + 8)) ]

# --add-to-xscreensaver: a new list from the system's, Prismora at its top,
# once; a user's own file (through a link) keeps every line; removing undoes
# it; a FIFO is refused at once with nothing written.
XSS_HOME="$E2E_WORK/xss home"
XSS="$XSS_HOME/dotfiles/xss"
mkdir -p "$XSS_HOME/dotfiles"
ln -s dotfiles/xss "$XSS_HOME/.xscreensaver"
xss() { HOME="$XSS_HOME" run_to_end 10 "$1" && [ "${E2E_STATUS:-x}" = "$2" ]; }
entries() { grep -c -E '\\n\\?$' "$1"; }
stock=$(sed -n '/^\*programs:/,/[^\\]$/p' /etc/X11/app-defaults/XScreenSaver | grep -c -E '\\n\\?$')
made() { [ "$(entries "$XSS")" -eq $((stock + 1)) ] && [ "$(sed -n '/^programs:/{n;p}' "$XSS" | awk '{print $1}')" = prismora ]; }
e2e_check "add: the system's $stock hacks and Prismora first" eval 'xss --add-to-xscreensaver 0 && made'
cp "$XSS" "$E2E_WORK/added"
e2e_check "add again: the file unchanged" eval 'xss --add-to-xscreensaver 0 && cmp -s "$XSS" "$E2E_WORK/added"'
e2e_check "remove: the stock list left" eval 'xss --remove-from-xscreensaver 0 && [ "$(entries "$XSS")" = "$stock" ]'
# shellcheck disable=SC1003  # the backslashes are the file's own
printf '%s\n' '# mine' 'programs:		\' '	maze --root	\n\' '-	qix --root	\n' 'lock:	True' >"$XSS"
cp "$XSS" "$E2E_WORK/mine"
e2e_check "add to the user's own file: one line more, none changed, the link kept" \
  eval 'xss --add-to-xscreensaver 0 && [ -L "$XSS_HOME/.xscreensaver" ] && [ "$(diff "$E2E_WORK/mine" "$XSS" | grep -c "^[<>]")" = 1 ]'
e2e_check "remove from it: as it was" eval 'xss --remove-from-xscreensaver 0 && cmp -s "$E2E_WORK/mine" "$XSS"'
rm "$XSS_HOME/.xscreensaver" && mkfifo "$XSS_HOME/.xscreensaver"
e2e_check "a FIFO: exit 1 at once, one line on stderr, nothing left beside it" \
  eval 'xss --add-to-xscreensaver 1 && [ "$(wc -l <"$E2E_ERR")" = 1 ] && [ "$(ls -A "$XSS_HOME" | wc -l)" = 2 ]'
e2e_finish
