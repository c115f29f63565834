#!/usr/bin/env bash
# An install into a temporary prefix (cmake --install --prefix): the files a
# user and the desktop expect are there, and the installed programs run from
# there on their installed data, moved elsewhere too, not on the source tree.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_begin 1280x1024x24
for tool in cmake gzip desktop-file-validate; do
  command -v "$tool" >/dev/null 2>&1 || { e2e_fail "'$tool' is missing (scripts/deps.sh build test)"; e2e_finish; }
done

SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
PREFIX="$E2E_WORK/prefix"
if ! e2e_install "$PREFIX"; then
  e2e_fail "cmake --install into a temporary prefix: $(tail -n 5 "$E2E_WORK/install.log")"
  e2e_finish
fi
e2e_pass "cmake --install into a temporary prefix"
unset PRISMORA_INSTALL_DIR

# Installed files: what each is, one a line.
sizes=(16 22 24 32 48 64 128 256)
expected=(
  "executable bin/prismora"
  "executable bin/lumiowindow"
  "file share/prismora/help/index.html"
  "file share/prismora/help/PopupTopics.txt"
  "gzip share/man/man6/prismora.6.gz"
  "gzip share/man/man6/lumiowindow.6.gz"
  "desktop share/applications/prismora.desktop"
  "desktop share/applications/lumiowindow.desktop"
  "desktop share/applications/screensavers/prismora.desktop"
  "desktop share/prismora/autostart/prismora-idle.desktop"
  "file lib/systemd/user/prismora-idle.service"
  "svg share/icons/hicolor/scalable/apps/prismora.svg"
  "svg share/icons/hicolor/scalable/apps/lumiowindow.svg"
  "file share/doc/prismora/copyright"
  "gzip share/doc/prismora/changelog.gz"
)
for size in "${sizes[@]}"; do
  expected+=("png${size} share/icons/hicolor/${size}x${size}/apps/prismora.png"
    "png${size} share/icons/hicolor/${size}x${size}/apps/lumiowindow.png")
done
[ -f "$SOURCE/data/xscreensaver/prismora.xml" ] && expected+=("file share/xscreensaver/config/prismora.xml")

# is_installed KIND PATH: PATH under the prefix is a file of that kind.
is_installed() {
  local kind=$1 file="$PREFIX/$2"
  [ -f "$file" ] || return 1
  case "$kind" in
    executable) [ -x "$file" ] ;;
    gzip) gzip -t "$file" 2>/dev/null ;;
    desktop) desktop-file-validate "$file" >"$E2E_WORK/validate.log" 2>&1 ;;
    svg) grep -q '<svg' "$file" ;;
    png*) [ "$(identify -format '%m %wx%h' "$file" 2>/dev/null)" = "PNG ${kind#png}x${kind#png}" ] ;;
    file) [ -s "$file" ] ;;
  esac
}
for entry in "${expected[@]}"; do
  read -r kind path <<<"$entry"
  e2e_check "installed: $path ($kind)" is_installed "$kind" "$path"
done

# The hack folder lockers search holds a relative link to the program.
HACK="$PREFIX/libexec/xscreensaver/prismora"
relative_link() { [ -L "$1" ] && case "$(readlink "$1")" in /*) false ;; *) true ;; esac; }
e2e_check "libexec/xscreensaver/prismora is a relative link ($(readlink "$HACK"))" relative_link "$HACK"
e2e_check "... that resolves to bin/prismora" [ "$(readlink -f "$HACK")" = "$(readlink -f "$PREFIX/bin/prismora")" ]

# Desktop entries start installed programs with the right mode.
entry_value() { sed -n "s/^$2=//p" "$PREFIX/share/applications/$1" | head -n 1; }
for case in "prismora.desktop|prismora --settings" "lumiowindow.desktop|lumiowindow" \
  "screensavers/prismora.desktop|prismora --root"; do
  file=${case%%|*} command=${case#*|}
  e2e_check "$file runs '$command' (Exec=$(entry_value "$file" Exec))" [ "$(entry_value "$file" Exec)" = "$command" ]
  e2e_check "$file's program is installed in bin/" [ -x "$PREFIX/bin/$(entry_value "$file" TryExec)" ]
  e2e_check "$file's icon is installed (Icon=$(entry_value "$file" Icon))" \
    [ -f "$PREFIX/share/icons/hicolor/scalable/apps/$(entry_value "$file" Icon).svg" ]
done
e2e_check "the screen-saver theme is in the Screensaver category" \
  [ "$(entry_value screensavers/prismora.desktop Categories)" = "Screensaver;" ]

# run_installed SECONDS PROGRAM ARGS...: runs to its end; status in E2E_STATUS.
run_installed() {
  local seconds=$1 program=$2
  shift 2
  PRISMORA="$program" e2e_run_prismora "$@"
  e2e_wait_exit "$E2E_LAST_PID" "$seconds" || { e2e_stop "$E2E_LAST_PID"; E2E_STATUS=""; }
}

run_installed 20 "$PREFIX/bin/prismora" --help
e2e_check "installed prismora --help: exit code 0 (got ${E2E_STATUS:-no exit})" [ "${E2E_STATUS:-x}" = 0 ]
e2e_check "... prints the usage" grep -q "^Usage: prismora" "$E2E_OUT"
run_installed 20 "$HACK" --help
e2e_check "the hack link runs the program (exit code ${E2E_STATUS:-no exit})" [ "${E2E_STATUS:-x}" = 0 ]
e2e_check "... which prints the usage" grep -q "^Usage: prismora" "$E2E_OUT"

# A render with fresh settings records where the program found its data.
# render_from LABEL PROGRAM: renders 30 frames, every 10th written.
render_from() {
  local label=$1 program=$2
  run_installed 120 "$program" --render "$E2E_WORK/$label-frames" --frames 30 --every 10 \
    --config-dir "$E2E_WORK/$label-config"
  e2e_check "$label: --render exit code 0 (got ${E2E_STATUS:-no exit})" [ "${E2E_STATUS:-x}" = 0 ]
  e2e_check "$label: three frames written" [ "$(find "$E2E_WORK/$label-frames" -name '*.png' | wc -l)" = 3 ]
  e2e_check "$label: some frame has a picture" e2e_has_picture "$E2E_WORK/$label-frames/frame-00003.png"
}
stored_install_dir() { sed -n 's/^@="\(.*\)"$/\1/p' "$E2E_WORK/$1-config/settings.reg"; }

render_from installed "$PREFIX/bin/prismora"
e2e_check "installed: the data directory is the prefix's share/prismora, not the source tree ($(stored_install_dir installed))" \
  [ "$(stored_install_dir installed)" = "$PREFIX/share/prismora" ]

# The prefix moved as a whole (an unpacked package, a copied tree) still
# finds its own data.
MOVED="$E2E_WORK/moved/usr"
mkdir -p "$(dirname "$MOVED")" && cp -a "$PREFIX" "$MOVED"
render_from moved "$MOVED/bin/prismora"
e2e_check "moved: the data directory moved with it ($(stored_install_dir moved))" \
  [ "$(stored_install_dir moved)" = "$MOVED/share/prismora" ]

# --window for a second, then SIGTERM: it dies of the signal, as hosts expect.
PRISMORA="$PREFIX/bin/prismora" e2e_run_prismora --window
saver=$E2E_LAST_PID
if window=$(e2e_find_window "$saver" 15); then
  e2e_pass "installed prismora --window shows a window"
  sleep 1
  e2e_screenshot "$window" "$E2E_WORK/window.png"
  e2e_check "... with a picture in it" e2e_has_picture "$E2E_WORK/window.png"
else
  e2e_fail "installed prismora --window shows no window within 15 s"
fi
e2e_stop "$saver" 5
e2e_check "... and SIGTERM ends it by the signal (status ${E2E_STATUS:-none})" [ "${E2E_STATUS:-x}" = 143 ]
e2e_show_stderr

# Music's libraries come from the sound module in the prefix's library
# folder, loaded only when music plays; a moved prefix takes its own.
MODULE=$(cd "$PREFIX" && find . -path '*/prismora/sound.so' | sed 's|^\./||' | head -n 1)
e2e_check "installed: the sound module (${MODULE:-none} under a library folder)" \
  [ -n "$MODULE" ] && is_installed file "$MODULE"
# module_in_use LABEL PROGRAM: plays music silently in a window and checks
# which module the program mapped.
module_in_use() {
  local label=$1 program=$2 prefix
  prefix=$(dirname "$(dirname "$program")")
  PRISMORA_NO_SOUND_DEVICE=1 PRISMORA="$program" e2e_run_prismora --window --music
  if e2e_find_window "$E2E_LAST_PID" 15 >/dev/null; then
    sleep 1
    e2e_check "$label: music maps the prefix's own sound module" \
      grep -q " $prefix/$MODULE\$" "/proc/$E2E_LAST_PID/maps"
  else
    e2e_fail "$label: prismora --window --music shows no window within 15 s"
  fi
  e2e_stop "$E2E_LAST_PID" 5
}
if [ -n "$MODULE" ]; then
  module_in_use installed "$PREFIX/bin/prismora"
  module_in_use moved "$MOVED/bin/prismora"
fi
e2e_show_stderr

# lumiowindow starts from the prefix and stops on SIGTERM.
PRISMORA="$PREFIX/bin/lumiowindow" e2e_run_prismora
player=$E2E_LAST_PID
if e2e_find_window "$player" 15 >/dev/null; then
  e2e_pass "installed lumiowindow shows its window"
else
  e2e_fail "installed lumiowindow shows no window within 15 s"
fi
e2e_stop "$player" 5
e2e_check "... and SIGTERM ends it by the signal (status ${E2E_STATUS:-none})" [ "${E2E_STATUS:-x}" = 143 ]
e2e_show_stderr

e2e_finish
