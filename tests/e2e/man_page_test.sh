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

HELP_DIR=$(cd "$MAN_DIR/../help" && pwd)
SOURCE_DIR=$(cd "$MAN_DIR/../.." && pwd)
text_of() { sed -e 's/<[^>]*>//g' -e 's/&amp;/\&/g' "$1"; }
for file in "$HELP_DIR/hosts.html" "$SOURCE_DIR/packaging/README.Debian" "$WORK/page.txt"; do
  for words in "prismora --add-to-xscreensaver" "prismora --remove-from-xscreensaver"; do
    e2e_check "${file#"$SOURCE_DIR"/} names '$words'" grep -qF -e "$words" <(text_of "$file")
  done
done
for words in /usr/libexec/xscreensaver/prismora /usr/share/xscreensaver/config/prismora.xml mate-screensaver \
  /usr/share/applications/screensavers/prismora.desktop; do
  e2e_check "the hosts help page names $words" grep -qF -e "$words" <(text_of "$HELP_DIR/hosts.html")
done
# Every item of LumioWindow's menu, as the program spells it, without its access key.
mapfile -t items < <(grep -oE 'K::(Popup|Item|Radio), [A-Za-z0-9]+, "[^"]+"' "$SOURCE_DIR/player/player_menu.cpp" |
  sed -e 's/.*"\(.*\)"/\1/' -e 's/&//g' -e 's/\.\.\.$//')
missing=()
for item in "${items[@]}"; do
  grep -qF -e "$item" <(text_of "$HELP_DIR/lumiowindow.html") || missing+=("$item")
done
e2e_check "the LumioWindow help page names all ${#items[@]} menu items${missing[*]:+ (missing: ${missing[*]})}" \
  [ ${#items[@]} -gt 15 ] && [ ${#missing[@]} = 0 ]
doubled=""
for page in "$HELP_DIR"/*.html; do
  title=$(sed -n 's:.*<title>\(.*\)</title>.*:\1:p' "$page")
  case $title in *"Prismora Help"*"Prismora Help"* | "") doubled="$doubled $(basename "$page")" ;; esac
  grep -q 'href="lumiowindow.html"' "$page" || doubled="$doubled $(basename "$page")(no link)"
done
e2e_check "every help page has its own title and links LumioWindow's page${doubled:+ (not:$doubled)}" [ -z "$doubled" ]

e2e_finish
