#!/usr/bin/env bash
# Under the real screen-saver hosts of the desktop. XScreenSaver 6 (run as an
# unprivileged user: it refuses to run hacks as root) activates
# `prismora --root`, also from the list `prismora --add-to-xscreensaver` made:
# the picture is drawn at the screen's own size, sharp, and
# deactivation ends it with a normal exit in XScreenSaver's log; an unknown
# option or a bad settings value never makes it start the hack again.
# xsecurelock (with a fake authentication module) runs it as its saver and
# unlocking ends it.
# shellcheck disable=SC2317  # the helpers also run through wait_for and e2e_check
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
for tool in xscreensaver xscreensaver-command xsecurelock setpriv; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "$E2E_NAME: '$tool' is missing (run scripts/deps.sh test)" >&2
    exit 1
  fi
done
SCREEN_W=1280
SCREEN_H=720
e2e_begin "${SCREEN_W}x${SCREEN_H}x24"
HERE=$(cd "$(dirname "$0")" && pwd)
HOST_USER=nobody
HOST_GROUP=$(id -gn "$HOST_USER")


# The hosts' user must reach the program, its data and its own folders.
chmod 711 "$E2E_WORK"
BIN=$(readlink -f "$PRISMORA")
if ! setpriv --reuid="$HOST_USER" --regid="$HOST_GROUP" --clear-groups test -x "$BIN" ||
  ! setpriv --reuid="$HOST_USER" --regid="$HOST_GROUP" --clear-groups test -r "$HERE/../../data/help/index.html"; then
  # An unreadable build tree: the program and its data, installed the usual way.
  mkdir -p "$E2E_WORK/install/bin" "$E2E_WORK/install/share"
  cp "$PRISMORA" "$E2E_WORK/install/bin/prismora"
  cp -r "$HERE/../../data" "$E2E_WORK/install/share/prismora"
  cp "$HERE/lsan.supp" "$E2E_WORK/install/lsan.supp"
  chmod -R a+rX "$E2E_WORK/install"
  BIN=$E2E_WORK/install/bin/prismora
  export LSAN_OPTIONS="${LSAN_OPTIONS//$HERE\/lsan.supp/$E2E_WORK/install/lsan.supp}"
fi

# A fresh home for one run of a host: its own settings, log and runtime folders.
new_home() {
  HOME_DIR="$E2E_WORK/home.$1"
  mkdir -p "$HOME_DIR/config" "$HOME_DIR/state" "$HOME_DIR/data" "$HOME_DIR/runtime"
  chmod 700 "$HOME_DIR/runtime"
  LOG="$HOME_DIR/state/Prismora.txt"
}
own_home() { chown -R "$HOST_USER:$HOST_GROUP" "$HOME_DIR"; }

# The runs of the program that have begun drawing, by the first line of each.
starts() {
  local count
  count=$(grep -c "in a host's window, window .*, drawing" "$LOG" 2>/dev/null)
  echo "${count:-0}"
}

# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# run_as_host COMMAND...: runs it as the unprivileged user in the home's
# environment, with the variables in EXTRA_ENV added. start_as_host starts it
# in the background, its pid in HOST_PID.
EXTRA_ENV=()
host_command() {
  HOST_COMMAND=(setpriv --reuid="$HOST_USER" --regid="$HOST_GROUP" --clear-groups env HOME="$HOME_DIR"
    XDG_RUNTIME_DIR="$HOME_DIR/runtime" PRISMORA_CONFIG_DIR="$HOME_DIR/config" PRISMORA_STATE_DIR="$HOME_DIR/state"
    PRISMORA_DATA_DIR="$HOME_DIR/data" "${EXTRA_ENV[@]}" "$@")
}
run_as_host() {
  host_command "$@"
  "${HOST_COMMAND[@]}"
}
start_as_host() {
  local out=$1
  shift
  host_command "$@"
  "${HOST_COMMAND[@]}" </dev/null >"$out" 2>&1 &
  HOST_PID=$!
  E2E_PIDS+=("$HOST_PID")
}

# ---- XScreenSaver ----------------------------------------------------------

XSS_PID=""
# start_xscreensaver [COMMAND]: the daemon with COMMAND as its only hack, else the home's list.
start_xscreensaver() {
  [ -z "${1:-}" ] || cat >"$HOME_DIR/.xscreensaver" <<EOF
timeout:	0:30:00
cycle:		0
lock:		False
splash:		False
fade:		False
unfade:		False
dpmsEnabled:	False
mode:		one
selected:	0
programs:	$1	\n\

EOF
  own_home
  XSS_LOG="$HOME_DIR/xscreensaver.log"
  start_as_host "$HOME_DIR/xscreensaver.out" xscreensaver -no-splash -verbose -log "$XSS_LOG"
  XSS_PID=$HOST_PID
  # Ready once it answers a command.
  wait_for 15 xss_command -version
}

xss_command() { run_as_host timeout 10 xscreensaver-command "$@" >/dev/null 2>&1; }

# The pids XScreenSaver started the program in, one a line.
hack_pids() { sed -n 's/.*forked ".*prismora.*" in pid \([0-9]*\).*/\1/p' "$XSS_LOG" 2>/dev/null; }
forks() { hack_pids | wc -l; }
forks_at_least() { [ "$(forks)" -ge "$1" ]; }
any_hack_running() {
  local pid
  for pid in $(hack_pids); do e2e_is_running "$pid" && return 0; done
  return 1
}
no_hack_running() { ! any_hack_running; }
# No top-level window (a box, a window of its own) belongs to any copy.
# XScreenSaver marks the window it hands a copy with that copy's pid; what
# the copy draws into lies inside it.
no_window_of_ours() {
  local pid id hex top given
  top=$(e2e_top_level_windows)
  for pid in $(hack_pids); do
    given=$(sed -n "s/.* in pid $pid on window \(0x[0-9a-f]*\).*/\1/p" "$XSS_LOG")
    for id in $(timeout 5 xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
      hex=$(printf '0x%x' "$id")
      [ "$hex" != "$given" ] && grep -qx "$hex" <<<"$top" && return 1
    done
  done
  return 0
}

stop_xscreensaver() {
  local pid
  [ -n "$XSS_PID" ] && e2e_stop "$XSS_PID" 5
  # Hacks outliving their host would be a fault of their own; end them anyway.
  for pid in $(hack_pids); do
    if e2e_is_running "$pid"; then
      e2e_fail "pid $pid of ours outlived XScreenSaver"
      kill -KILL "$pid" 2>/dev/null
    fi
  done
  XSS_PID=""
}

# True when the screenshot is drawn at full resolution rather than blown up
# from a smaller picture: there most lit pixels equal their right-hand
# neighbour (blocks of two or three pixels), here few do.
sharp() {
  local same lit
  lit=$(timeout 30 convert "$1" -colorspace gray -threshold 0 -format '%[fx:mean]' info: 2>/dev/null)
  same=$(timeout 30 convert "$1" \( +clone -roll +1+0 \) -compose difference -composite -colorspace gray \
    -threshold 0 -negate "$1" -colorspace gray -threshold 0 -compose multiply -composite \
    -format '%[fx:mean]' info: 2>/dev/null)
  SHARP_RATIO=$(awk -v s="$same" -v l="$lit" 'BEGIN { if (l > 0) printf "%.2f", s / l; else print "none" }')
  awk -v r="$SHARP_RATIO" 'BEGIN { exit !(r != "none" && r < 0.4) }'
}

# 1. Activation runs the program at the screen's size; deactivation ends it.
new_home xss
start_xscreensaver "$BIN --root" || e2e_fail "XScreenSaver: the daemon did not answer within 15 s"
xss_command -activate
if wait_for 20 grep -qs "in a host's window" "$LOG"; then
  e2e_check "XScreenSaver: drawn at the screen's own size ($(grep -o 'drawing [0-9x]*' "$LOG" | head -n 1))" \
    grep -q "drawing ${SCREEN_W}x${SCREEN_H}" "$LOG"
  sleep 3
  if e2e_screenshot root "$E2E_WORK/xscreensaver.png"; then
    e2e_check "XScreenSaver: a picture on the screen" e2e_has_picture "$E2E_WORK/xscreensaver.png"
    if sharp "$E2E_WORK/xscreensaver.png"; then
      e2e_pass "XScreenSaver: sharp, not blown up (lit pixels equal to their neighbour: $SHARP_RATIO)"
    else
      e2e_fail "XScreenSaver: blown up from a smaller picture (lit pixels equal to their neighbour: $SHARP_RATIO)"
    fi
  else
    e2e_fail "XScreenSaver: no screenshot"
  fi
  e2e_check "XScreenSaver: started once ($(forks) starts)" [ "$(forks)" -eq 1 ]
  # Choosing the hack again has XScreenSaver stop this one and log how it ended.
  first=$(hack_pids | head -n 1)
  xss_command -select 1
  if wait_for 10 grep -Eq "pid $first .*(exited|terminated|crashed|died)" "$XSS_LOG"; then
    e2e_check "XScreenSaver: logs a normal exit ($(grep -Eo "pid $first .*(exited|terminated|crashed|died).*" "$XSS_LOG"))" \
      grep -q "pid $first .*exited normally" "$XSS_LOG"
  else
    e2e_fail "XScreenSaver: logged no end of pid $first within 10 s"
  fi
  wait_for 20 forks_at_least 2
  xss_command -deactivate
  if wait_for 10 no_hack_running; then
    e2e_pass "XScreenSaver: deactivation ends the program"
  else
    e2e_fail "XScreenSaver: the program still runs 10 s after deactivation"
  fi
else
  e2e_fail "XScreenSaver: the program drew nothing within 20 s of activation"
  tail -n 20 "$XSS_LOG" 2>/dev/null | sed 's/^/    /'
fi
stop_xscreensaver

# 2. The list `prismora --add-to-xscreensaver` makes for a user without one,
# as XScreenSaver reads it: Prismora first, the stock hacks after it.
new_home addlist
mkdir -p "$HOME_DIR/bin"
ln -s "$BIN" "$HOME_DIR/bin/prismora"
own_home
run_as_host "$BIN" --add-to-xscreensaver >/dev/null
printf 'mode:\tone\nselected:\t0\nfade:\tFalse\nunfade:\tFalse\nsplash:\tFalse\ndpmsEnabled:\tFalse\n' \
  >>"$HOME_DIR/.xscreensaver"
EXTRA_ENV=(PATH="$HOME_DIR/bin:$PATH")
start_xscreensaver || e2e_fail "the list made by --add-to-xscreensaver: the daemon did not answer within 15 s"
xss_command -select 1
e2e_check "the list made by --add-to-xscreensaver: its first hack is prismora --root" \
  wait_for 20 grep -qs 'forked "prismora --root"' "$XSS_LOG"
xss_command -select 2
e2e_check "the list made by --add-to-xscreensaver: the stock hacks follow" \
  wait_for 20 grep -qs 'forked "maze --root"' "$XSS_LOG"
xss_command -deactivate
wait_for 10 no_hack_running
stop_xscreensaver
EXTRA_ENV=()

# 3. What made a hack exit at once (an option it does not know, a settings
# value it cannot use) never has XScreenSaver start it again.
# check_no_respawn LABEL COMMAND
check_no_respawn() {
  start_xscreensaver "$2" || e2e_fail "$1: the daemon did not answer within 15 s"
  xss_command -activate
  if wait_for 20 grep -qs "forked" "$XSS_LOG" && wait_for 20 grep -qs "in a host's window" "$LOG"; then
    sleep 4
    e2e_check "$1: started once in 4 s ($(forks) starts, $(starts) drawing starts)" \
      [ "$(forks)" -eq 1 ] && [ "$(starts)" -eq 1 ]
    e2e_check "$1: still running" any_hack_running
  else
    e2e_fail "$1: the program did not start within 20 s ($(forks) starts)"
  fi
  e2e_check "$1: no window of its own" no_window_of_ours
  xss_command -deactivate
  e2e_check "$1: deactivation ends it" wait_for 10 no_hack_running
  stop_xscreensaver
}

new_home unknown
check_no_respawn "an unknown option" "$BIN --root --no-such-option"
e2e_check "an unknown option: logged" grep -q "Ignored unknown options: --no-such-option" "$LOG"

new_home hostile
# Values out of every range, and an installation folder that is gone: the
# program cannot start, draws black and waits to be stopped.
cat >"$HOME_DIR/config/settings.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Quillfen\Prismora]
@="/no/such/folder"
"Resolution"="99999 x 99999"
"Max FPS"=dword:00000000
"Preset"=dword:ffffffff
"Music Index"=dword:00000063
REG
EXTRA_ENV=(PRISMORA_INSTALL_DIR=/no/such/folder)
check_no_respawn "a bad settings value" "$BIN --root"
e2e_check "a bad settings value: the failure is logged" grep -q "installation directory" "$LOG"
EXTRA_ENV=()

# ---- xsecurelock ------------------------------------------------------------

new_home xsecurelock
UNLOCK="$HOME_DIR/unlock-now"
# The authentication module: succeeds once the test says so.
cat >"$HOME_DIR/auth_fake" <<EOF
#!/bin/sh
for i in \$(seq 300); do
  [ -e "$UNLOCK" ] && exit 0
  sleep 0.1
done
exit 1
EOF
chmod 755 "$HOME_DIR/auth_fake"
own_home
start_as_host "$HOME_DIR/xsecurelock.out" XSECURELOCK_SAVER="$BIN" XSECURELOCK_AUTH="$HOME_DIR/auth_fake" \
  XSECURELOCK_BLANK_TIMEOUT=-1 xsecurelock
LOCK_PID=$HOST_PID
if wait_for 20 grep -qs "in a host's window" "$LOG"; then
  e2e_check "xsecurelock: drawn at the screen's own size ($(grep -o 'drawing [0-9x]*' "$LOG" | head -n 1))" \
    grep -q "drawing ${SCREEN_W}x${SCREEN_H}" "$LOG"
  sleep 2
  if e2e_screenshot root "$E2E_WORK/xsecurelock.png"; then
    e2e_check "xsecurelock: a picture on the screen" e2e_has_picture "$E2E_WORK/xsecurelock.png"
  else
    e2e_fail "xsecurelock: no screenshot"
  fi
  saver_pids=$(pgrep -u "$HOST_USER" -f -x "$BIN -root")
  e2e_check "xsecurelock: runs it as '$BIN -root' (pids: ${saver_pids:-none})" [ -n "$saver_pids" ]
  touch "$UNLOCK"
  # A key brings up the authentication, which succeeds at once.
  xdotool key space
  if e2e_wait_exit "$LOCK_PID" 15; then
    e2e_check "xsecurelock: unlocked, status $E2E_STATUS" [ "$E2E_STATUS" -eq 0 ]
  else
    e2e_fail "xsecurelock: still locked 15 s after the key"
    e2e_stop "$LOCK_PID"
  fi
  left=""
  for pid in $saver_pids; do
    wait_for 5 bash -c '! kill -0 "$1" 2>/dev/null' _ "$pid" || left="$left $pid"
  done
  e2e_check "xsecurelock: no program of ours left after unlocking (${left:-none})" [ -z "$left" ]
  for pid in $left; do kill -KILL "$pid" 2>/dev/null; done
else
  e2e_fail "xsecurelock: the program drew nothing within 20 s"
  sed 's/^/    /' "$HOME_DIR/xsecurelock.out" | tail -n 20
  e2e_stop "$LOCK_PID"
fi
# ---- No display at all -------------------------------------------------------

# A host's hack that cannot reach the display waits to be stopped, logged,
# rather than exiting into a restart loop; outside a host it exits.
LOG=$PRISMORA_STATE_DIR/Prismora.txt
DISPLAY=:9999 XSCREENSAVER_WINDOW=0x400001 e2e_run_prismora -root
pid=$E2E_LAST_PID
sleep 2
if e2e_is_running "$pid"; then
  e2e_check "no display in a host's window: logged" grep -q "Cannot open the display; waiting to be stopped" "$LOG"
  kill -TERM "$pid"
  e2e_wait_exit "$pid" 5
  e2e_check "no display in a host's window: SIGTERM ends it (status ${E2E_STATUS:-none})" [ "${E2E_STATUS:-0}" = 143 ]
else
  e2e_wait_exit "$pid" 1
  e2e_fail "no display in a host's window: it exited by itself (status $E2E_STATUS)"
fi
DISPLAY=:9999 e2e_run_prismora /s
e2e_wait_exit "$E2E_LAST_PID" 10
e2e_check "no display full screen: exits with 1 (status ${E2E_STATUS:-still running})" [ "${E2E_STATUS:-0}" = 1 ]
e2e_finish
