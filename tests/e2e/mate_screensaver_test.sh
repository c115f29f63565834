#!/usr/bin/env bash
# mate-screensaver with Prismora installed into a temporary prefix: the
# locker finds the "Prismora" theme through XDG_DATA_DIRS and, activated,
# runs the program in its window; deactivated, it stops it.
#
# The locker only runs hacks from its own folders, /usr/libexec/xscreensaver
# among them, so the activation needs /usr/libexec/xscreensaver/prismora. As
# root, when nothing is installed there, the test makes that link to the
# temporary prefix for its run (under a lock, so two runs never share it) and
# removes it at the end; otherwise only the theme's listing is checked.
# The locker runs in a private D-Bus session with a private HOME, so the
# user's settings are never touched.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 1024x768x24
for tool in mate-screensaver mate-screensaver-command dbus-run-session gsettings cmake flock; do
  command -v "$tool" >/dev/null 2>&1 || { e2e_fail "'$tool' is missing (scripts/deps.sh test)"; e2e_finish; }
done

PREFIX="$E2E_WORK/prefix"
if ! e2e_install "$PREFIX"; then
  e2e_fail "cmake --install into a temporary prefix: $(tail -n 5 "$E2E_WORK/install.log")"
  e2e_finish
fi
HACK_DIR=/usr/libexec/xscreensaver
LINK="$HACK_DIR/prismora"
MADE_DIR=""
MADE_LINK=""
remove_link() {
  [ -n "$MADE_LINK" ] && [ "$(readlink "$LINK")" = "$MADE_LINK" ] && rm -f "$LINK"
  [ -n "$MADE_DIR" ] && rmdir "$HACK_DIR" 2>/dev/null
  MADE_LINK=""
  MADE_DIR=""
}
trap 'remove_link; e2e_cleanup' EXIT

# The session the locker runs in: its settings, the locker, activation,
# a screenshot, deactivation and exit. Written out so dbus-run-session runs it.
cat >"$E2E_WORK/session.sh" <<'SESSION'
out=$1 program=$2
# The locker's copies of our program (not another run's prismora).
ours() {
  local pid
  for pid in $(pgrep -x prismora); do
    [ "$(readlink "/proc/$pid/exe")" = "$program" ] && echo "$pid"
  done
}
gsettings set org.mate.screensaver mode single
gsettings set org.mate.screensaver themes "['screensavers-prismora']"
gsettings set org.mate.screensaver lock-enabled false
gsettings set org.mate.screensaver idle-activation-enabled false
mate-screensaver --no-daemon --debug >"$out/locker.log" 2>&1 &
locker=$!
for _ in $(seq 100); do
  mate-screensaver-command --query >/dev/null 2>&1 && break
  sleep 0.1
done
mate-screensaver-command --activate
# Up to 15 s for the program's window to fill with a picture.
for _ in $(seq 30); do
  sleep 0.5
  import -silent -window root "$out/active.png" 2>/dev/null || continue
  [ "$(identify -format '%k' "$out/active.png" 2>/dev/null)" -gt 50 ] 2>/dev/null && break
done
ours >"$out/running.pids"
mate-screensaver-command --query >"$out/query.txt" 2>&1
mate-screensaver-command --deactivate
for _ in $(seq 50); do
  [ -z "$(ours)" ] && break
  sleep 0.2
done
ours >"$out/after.pids"
mate-screensaver-command --exit
for _ in $(seq 50); do kill -0 "$locker" 2>/dev/null || break; sleep 0.1; done
kill "$locker" 2>/dev/null
wait "$locker" 2>/dev/null
SESSION

# run_locker NAME DATA_DIRS: runs the session with the locker's environment
# cut down to what a desktop session gives it; its files go to $E2E_WORK/NAME.
run_locker() {
  local out="$E2E_WORK/$1"
  mkdir -p "$out/home" "$out/runtime"
  chmod 700 "$out/runtime"
  env -i PATH="$PREFIX/bin:/usr/bin:/bin" HOME="$out/home" DISPLAY="$DISPLAY" XDG_DATA_DIRS="$2" \
    XDG_CURRENT_DESKTOP=MATE XDG_RUNTIME_DIR="$out/runtime" PRISMORA_NO_SOUND_DEVICE=1 \
    timeout 90 dbus-run-session -- bash "$E2E_WORK/session.sh" "$out" "$PREFIX/bin/prismora" >"$out/session.log" 2>&1
}
chosen_command() { sed -n "s/.*Setting command for job: '\(.*\)'.*/\1/p" "$E2E_WORK/$1/locker.log" | head -n 1; }

# Without the prefix's share/ on XDG_DATA_DIRS the locker has no such theme
# (unless a package installed one in /usr).
if [ -e /usr/share/applications/screensavers/prismora.desktop ]; then
  e2e_log "skipped the check without the theme: a Prismora package is installed"
else
  run_locker unlisted /usr/share
  e2e_check "without the install's share/ the theme is unknown (command: $(chosen_command unlisted))" \
    [ "$(chosen_command unlisted)" = NULL ]
fi

(
  flock -w 120 9 || exit 3
  trap remove_link EXIT
  trap 'exit 143' TERM INT
  if [ ! -e "$LINK" ] && [ ! -L "$LINK" ] && [ "$(id -u)" = 0 ]; then
    if [ ! -d "$HACK_DIR" ]; then mkdir -p "$HACK_DIR" && MADE_DIR=1; fi
    MADE_LINK="$PREFIX/bin/prismora"
    ln -s "$MADE_LINK" "$LINK" || exit 3
    run_locker listed "$PREFIX/share:/usr/share"
    remove_link
    exit 0
  fi
  run_locker listed "$PREFIX/share:/usr/share"
  exit 2
) 9>"${TMPDIR:-/tmp}/prismora-mate-screensaver.lock"
linked=$?
[ "$linked" = 3 ] && e2e_fail "could not take the lock or make $LINK"

e2e_check "with the install's share/ on XDG_DATA_DIRS the locker chooses 'prismora --root' ($(chosen_command listed))" \
  [ "$(chosen_command listed)" = "prismora --root" ]
if [ "$linked" = 0 ]; then
  LOG="$E2E_WORK/listed/home/.local/state/prismora/Prismora.txt"
  e2e_check "the locker made the screen saver active" grep -q "is active" "$E2E_WORK/listed/query.txt"
  e2e_check "activated, it runs prismora --root" [ -s "$E2E_WORK/listed/running.pids" ]
  e2e_check "... which draws in the locker's window" e2e_has_picture "$E2E_WORK/listed/active.png"
  e2e_check "... and logs its start in a host's window" grep -q "in a host's window" "$LOG"
  e2e_check "deactivated, the locker stops it within 10 s" [ ! -s "$E2E_WORK/listed/after.pids" ]
else
  e2e_log "skipped the activation: $LINK is another install's, or not root"
fi

e2e_finish
