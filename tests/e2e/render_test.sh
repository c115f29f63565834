#!/usr/bin/env bash
# The render command: frames drawn without any display and written as PNG
# files, the same files on every run, and one-line refusals of bad values.
# Run as `render_test.sh PRISMORA`; prints "N passed, N failed".
set -u

# Only the pass/fail bookkeeping of the shared library: this test needs no
# display and starts none.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"

if [ -z "$PRISMORA" ] || [ ! -x "$PRISMORA" ]; then
  echo "$E2E_NAME: prismora not found or not executable: '$PRISMORA'" >&2
  exit 1
fi
for tool in identify cmp od timeout; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$E2E_NAME: '$tool' is missing" >&2; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/prismora-render.XXXXXX") || exit 1
trap 'rm -rf "$WORK"' EXIT
export PRISMORA_CONFIG_DIR="$WORK/config" PRISMORA_DATA_DIR="$WORK/data" PRISMORA_STATE_DIR="$WORK/state"
# No display of any kind: the command must not need one.
unset DISPLAY WAYLAND_DISPLAY XSCREENSAVER_WINDOW
e2e_use_leak_suppressions

# render DIR ARGS...: runs a render into $WORK/DIR; status in STATUS, stderr in ERR.
render() {
  local dir=$1
  shift
  ERR="$WORK/${dir//\//_}.err"
  timeout 120 "$PRISMORA" --render "$WORK/$dir" "$@" 2>"$ERR" >/dev/null
  STATUS=$?
}

files_in() { (cd "$WORK/$1" 2>/dev/null && ls) | tr '\n' ' '; }

# same_files A B: both directories hold the same names with the same bytes.
same_files() {
  local a=$WORK/$1 b=$WORK/$2 f
  [ "$(files_in "$1")" = "$(files_in "$2")" ] || return 1
  for f in "$a"/*; do cmp -s "$f" "$b/$(basename "$f")" || return 1; done
}

# png_header FILE: "WIDTH HEIGHT BITDEPTH COLOURTYPE" read from the IHDR chunk itself.
png_header() {
  local bytes
  bytes=$(od -An -tu1 -N26 "$1" | tr -s ' \n' ' ')
  read -r -a b <<<"$bytes"
  [ "${b[0]}" = 137 ] && [ "${b[1]}" = 80 ] && [ "${b[2]}" = 78 ] && [ "${b[3]}" = 71 ] || { echo "not a PNG"; return; }
  echo "$(((b[16] << 24) | (b[17] << 16) | (b[18] << 8) | b[19])) $(((b[20] << 24) | (b[21] << 16) | (b[22] << 8) | b[23])) ${b[24]} ${b[25]}"
}

# Twelve frames, every fourth written: three files, numbered by file.
render a --frames 12 --every 4
e2e_check "12 frames every 4th: exit code 0 (got $STATUS)" [ "$STATUS" = 0 ]
e2e_check "12 frames every 4th: three files (got: $(files_in a))" \
  [ "$(files_in a)" = "frame-00001.png frame-00002.png frame-00003.png " ]
e2e_check "the last line on stderr tells what was done ($(tail -n 1 "$ERR"))" \
  grep -q -F "12 frames drawn, 3 written to $WORK/a" "$ERR"
for f in "$WORK"/a/*.png; do
  e2e_check "$(basename "$f") is an 8-bit RGB PNG of 640x480 (IHDR: $(png_header "$f"))" \
    [ "$(png_header "$f")" = "640 480 8 2" ]
  e2e_check "$(basename "$f") reads back whole" identify -regard-warnings "$f" >/dev/null 2>&1
done

render a2 --frames 12 --every 4
e2e_check "a second run writes the same files" same_files a a2

render b --frames 12 --every 5
e2e_check "12 frames every 5th: two files (got: $(files_in b))" [ "$(files_in b)" = "frame-00001.png frame-00002.png " ]

# Size, depth, pattern and seed, each run twice.
for depth in 16 24 32; do
  render "d$depth" --frames 240 --every 80 --size 800x600 --depth "$depth" --pattern 3 --seed 7
  e2e_check "--depth $depth --size 800x600: exit code 0 (got $STATUS)" [ "$STATUS" = 0 ]
  e2e_check "--depth $depth: 800x600 RGB files (IHDR: $(png_header "$WORK/d$depth/frame-00003.png"))" \
    [ "$(png_header "$WORK/d$depth/frame-00003.png")" = "800 600 8 2" ]
  render "d${depth}again" --frames 240 --every 80 --size 800x600 --depth "$depth" --pattern 3 --seed 7
  e2e_check "--depth $depth: a second run writes the same files" same_files "d$depth" "d${depth}again"
done
max=$(identify -format '%[max]' "$WORK/d16/frame-00003.png" 2>/dev/null)
e2e_check "after 240 frames something is drawn (brightest channel $max)" [ "${max:-0}" -gt 0 ]

render p17 --frames 240 --every 80 --size 800x600 --depth 24 --pattern 17 --seed 7
render pdefault --frames 240 --every 80 --size 800x600 --depth 24 --seed 7
# The saver's own start changes pattern at once; one asked for is held.
e2e_check "--pattern 17 is held where the saver's own start changes pattern" \
  bash -c "! cmp -s '$WORK/p17/frame-00003.png' '$WORK/pdefault/frame-00003.png'"
render p17still --frames 240 --every 80 --size 800x600 --depth 24 --pattern 17 --seed 7 --no-morph
render pdefaultstill --frames 240 --every 80 --size 800x600 --depth 24 --seed 7 -no-morph
e2e_check "--pattern 17 --no-morph draws what the saver's own start draws with -no-morph" \
  same_files p17still pdefaultstill
render p17twice --frames 240 --every 80 --size 800x600 --depth 24 --pattern twirlies --seed 7
e2e_check "--pattern twirlies is --pattern 17" same_files p17 p17twice
e2e_check "--pattern 3 draws something else" bash -c "! cmp -s '$WORK/d24/frame-00003.png' '$WORK/p17/frame-00003.png'"
render seed8 --frames 240 --every 80 --size 800x600 --depth 24 --seed 8
e2e_check "another --seed draws something else" bash -c "! cmp -s '$WORK/seed8/frame-00003.png' '$WORK/pdefault/frame-00003.png'"

render nested/deeper/still --frames 1
e2e_check "a missing directory is made, parents too (exit code $STATUS)" [ -f "$WORK/nested/deeper/still/frame-00001.png" ]

: >"$WORK/plainfile"
render plainfile --frames 1
e2e_check "a directory that is a file: exit code 1 (got $STATUS)" [ "$STATUS" = 1 ]

# Bad values: one line on stderr, exit code 2, nothing written.
bad_command_lines=(
  "--frames 0"
  "--frames 1000001"
  "--frames ten"
  "--frames 3 --size 640"
  "--frames 3 --size 319x480"
  "--frames 3 --size 640x199"
  "--frames 3 --size 8193x600"
  "--frames 3 --size x480"
  "--frames 3 --depth 8"
  "--frames 3 --pattern 100000"
  "--frames 3 --pattern -1"
  "--frames 3 --pattern no-such-pattern"
  "--frames 3 --max-fps 1000"
  "--frames 3 --names=1"
  "--frames 3 --seed 4294967296"
  "--frames 3 --every 0"
  "--frames 3 --every"
  "--frames 3 --window"
  ""
)
for line in "${bad_command_lines[@]}"; do
  read -r -a args <<<"$line"
  render bad "${args[@]}"
  lines=$(wc -l <"$ERR")
  e2e_check "'--render DIR $line': exit code 2 and one line on stderr (got $STATUS, $lines lines)" \
    [ "$STATUS:$lines" = "2:1" ]
  e2e_check "'--render DIR $line' writes nothing" [ ! -e "$WORK/bad" ]
done
# The patterns come from the settings: a user pattern of --config-dir renders
# by its index in the loaded table, and the same settings give the same files.
mkdir -p "$WORK/mine"
cat >"$WORK/mine/settings.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Quillfen\Prismora\Patterns\Mine]
"Trail Length"=dword:000001f4
"Number Of Trails"=dword:00000009
REG
render user --frames 120 --every 60 --config-dir "$WORK/mine" --pattern 20 --seed 7
e2e_check "--pattern 20 renders the user's pattern of --config-dir (got $STATUS: $(head -c 200 "$ERR"))" \
  [ "$STATUS" = 0 ] && [ "$(files_in user)" = "frame-00001.png frame-00002.png " ]
render user-again --frames 120 --every 60 --config-dir "$WORK/mine" --pattern 20 --seed 7
e2e_check "the same settings give the same files" same_files user user-again
e2e_check "a user pattern draws something else than pattern 17" \
  bash -c "! cmp -s '$WORK/user/frame-00002.png' '$WORK/p17/frame-00002.png'"
e2e_check "the first run recorded the installation in --config-dir" grep -q '^@=' "$WORK/mine/settings.reg"
render nouser --frames 3 --pattern 20
lines=$(wc -l <"$ERR")
e2e_check "--pattern 20 without user patterns: exit code 2 and one line (got $STATUS, $lines lines)" \
  [ "$STATUS:$lines" = "2:1" ]
e2e_check "... naming the last pattern" grep -q "past the last pattern, 19" "$ERR"
e2e_check "a render without --config-dir leaves the user's settings alone" [ ! -e "$WORK/config/settings.reg" ]

# A settings file that cannot be read is moved aside and logged before any
# host is up; the render goes on from defaults.
mkdir -p "$WORK/broken"
printf 'not a settings file\0\377' >"$WORK/broken/settings.reg"
render broken --frames 3 --config-dir "$WORK/broken"
e2e_check "an unreadable settings file: the render still runs (got $STATUS: $(head -c 200 "$ERR"))" \
  [ "$STATUS" = 0 ]
e2e_check "... the file is moved aside" bash -c "ls '$WORK/broken' | grep -q '^settings.reg.broken-'"
e2e_check "... and the log says so" grep -q "settings.reg" "$WORK/state/Prismora.txt"

# The smallest size the command takes runs through jumps (15 s of pattern 0).
render smallest --size 320x200 --frames 3000 --every 3000 --pattern 0
e2e_check "--size 320x200 runs 3000 frames of pattern 0 (got $STATUS: $(head -c 200 "$ERR"))" [ "$STATUS" = 0 ]

timeout 10 "$PRISMORA" --frames 3 --every 2 >/dev/null 2>"$WORK/stray.err"
STATUS=$?
e2e_check "--frames without --render: exit code 2 (got $STATUS)" [ "$STATUS" = 2 ]

e2e_finish
