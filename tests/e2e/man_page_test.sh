#!/usr/bin/env bash
# The man pages: every option `prismora --help` lists is described in
# prismora(6), and both pages format without a warning. The help pages and
# README.Debian tell how to put Prismora into XScreenSaver's list, the hosts
# page gives the installed paths, LumioWindow's page names its every menu
# item, and no page repeats its title.
# Run as `man_page_test.sh PRISMORA`; needs no display.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"

if [ -z "$PRISMORA" ] || [ ! -x "$PRISMORA" ]; then
  echo "$E2E_NAME: prismora not found or not executable: '$PRISMORA'" >&2
  exit 1
fi
for tool in groff timeout; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$E2E_NAME: '$tool' is missing" >&2; exit 1; }
done
MAN_DIR=$(cd "$(dirname "$0")/../../data/man" && pwd)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/prismora-man.XXXXXX") || exit 1
trap 'rm -rf "$WORK"' EXIT
export PRISMORA_CONFIG_DIR="$WORK/config" PRISMORA_DATA_DIR="$WORK/data" PRISMORA_STATE_DIR="$WORK/state"
unset DISPLAY WAYLAND_DISPLAY XSCREENSAVER_WINDOW

# The options a text names: /x, -word and --word standing alone.
options_in() {
  grep -oE '(^|[ ,(])(/[a-z]|--?[a-z][a-z0-9-]*)([ ,)]|$)' "$1" | tr -d ' ,()' | sort -u
}
# The page's text with troff's escapes for hyphens and fonts taken out.
sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$MAN_DIR/prismora.6.in" >"$WORK/page.txt"
# described OPTION: the page names the option as a word of its own.
described() {
  grep -qE "(^|[^A-Za-z0-9/-])$1([^A-Za-z0-9-]|$)" "$WORK/page.txt"
}

timeout 20 "$PRISMORA" --help >"$WORK/help.txt" 2>&1
e2e_check "prismora --help exits with 0" [ $? = 0 ]
mapfile -t options < <(options_in "$WORK/help.txt")
# A broken reading of --help must not pass as "nothing missing".
listed() { printf '%s\n' "${options[@]}" | grep -qx -- "$1"; }
for expected in /s /c /p --window-id -root --render --frames -fps -nice; do
  e2e_check "the options read from --help include $expected" listed "$expected"
done
missing=()
for option in "${options[@]}"; do
  described "$option" || missing+=("$option")
done
e2e_check "prismora(6) describes all ${#options[@]} options of --help${missing[*]:+ (missing: ${missing[*]})}" \
  [ ${#missing[@]} = 0 ]
if described --no-such-option || described -ro; then
  e2e_fail "the page check finds options the page does not have"
else
  e2e_pass "the page check finds no option the page does not have"
fi

for page in prismora lumiowindow; do
  sed 's/@PROJECT_VERSION@/0.0.0/' "$MAN_DIR/$page.6.in" >"$WORK/$page.6"
  warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 "$WORK/$page.6" 2>&1)
  e2e_check "$page(6) formats without a warning${warnings:+: $warnings}" [ -z "$warnings" ]
  e2e_check "$page(6) is in section 6 and named $page" grep -q "^\.TH ${page^^} 6 " "$WORK/$page.6"
done

HELP=$(cd "$MAN_DIR/../help" && pwd)
SOURCE=$(cd "$MAN_DIR/../.." && pwd)
text_of() { sed -e 's/<[^>]*>//g' "$@"; }
# The texts that must be there, each as "FILE|WORDS".
for need in "$HELP/hosts.html|prismora --add-to-xscreensaver" "$HELP/hosts.html|prismora --remove-from-xscreensaver" \
  "$SOURCE/packaging/README.Debian|prismora --add-to-xscreensaver" "$WORK/page.txt|prismora --remove-from-xscreensaver" \
  "$HELP/hosts.html|/usr/libexec/xscreensaver/prismora" "$HELP/hosts.html|mate-screensaver"; do
  e2e_check "${need#"$SOURCE"/} is there" grep -qF -e "${need#*|}" <(text_of "${need%%|*}")
done
# Every item of LumioWindow's menu, as the program spells it, without its access key.
text_of "$HELP/lumiowindow.html" >"$WORK/lumio.txt"
unnamed=$(grep -oE 'K::(Popup|Item|Radio), [A-Za-z0-9]+, "[^"]+"' "$SOURCE/player/player_menu.cpp" |
  sed -e 's/.*"\(.*\)"/\1/' -e 's/&//g' -e 's/\.\.\.$//' |
  while read -r item; do grep -qF -e "$item" "$WORK/lumio.txt" || echo "$item"; done)
e2e_check "the LumioWindow page names every menu item${unnamed:+ (missing: $unnamed)}" [ -z "$unnamed" ]
doubled=$(grep -l -E '<title>.*Prismora Help.*Prismora Help' "$HELP"/*.html; grep -L 'href="lumiowindow.html"' "$HELP"/*.html)
e2e_check "no help page repeats its title, each links LumioWindow's${doubled:+ (not: $doubled)}" [ -z "$doubled" ]

e2e_finish
