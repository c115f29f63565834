#!/usr/bin/env bash
# Command keys on a plain X11 screen (no desktop): N shows the pattern name at
# the bottom centre, Y toggles Tunnel and F6 lists it at the bottom left, F12
# shows the frame rate in red (and hides it again), F1 the two help lines at
# the top, Space grabs the pattern, and F5 shows "Wallpaper set!", writes
# Prismora.bmp (then PrismoraOld.bmp) and makes it the root window's
# background, which shows once the saver has ended. The files open in
# ImageMagick, gdk-pixbuf and Qt at 16, 24 and 32 bits.
# shellcheck source-path=SCRIPTDIR source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
BMP_CHECK=${3:-}
e2e_begin 1280x1024x24
unset XDG_CURRENT_DESKTOP SWAYSOCK WAYLAND_DISPLAY

# count_colour FILE GEOMETRY HEX: pixels of exactly that colour in the area.
count_colour() {
  timeout 20 convert "$1" -crop "$2" +repage txt:- 2>/dev/null | grep -ci "#$3" || true
}
# count_bright FILE GEOMETRY: pixels brighter than 70 % in the area.
count_bright() {
  timeout 20 convert "$1" -crop "$2" +repage -colorspace gray -threshold 70% \
    -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null || echo 0
}
shot() { sleep "${2:-0.6}"; e2e_screenshot root "$E2E_WORK/$1.png"; }
press() { timeout 5 xdotool key "$1"; }

# Bitmap header fields: bits per pixel and the pixel-data offset.
bmp_bits() { od -An -t u2 -j 28 -N 2 "$1" | tr -d ' '; }
bmp_offset() { od -An -t u4 -j 10 -N 4 "$1" | tr -d ' '; }

# check_viewers FILE SIZE DEPTH: every reader opens the file at that size.
check_viewers() {
  local file=$1 size=$2 depth=$3
  e2e_check "$depth bits: the file says $depth bits per pixel (got $(bmp_bits "$file"))" \
    [ "$(bmp_bits "$file")" = "$depth" ]
  local got
  got=$(timeout 20 identify -format '%wx%h' "$file" 2>/dev/null)
  e2e_check "$depth bits: ImageMagick reads it as $size (got ${got:-nothing})" [ "$got" = "$size" ]
  e2e_check "$depth bits: gdk-pixbuf reads it" timeout 20 gdk-pixbuf-pixdata "$file" "$E2E_WORK/pixdata.$depth"
  if [ -n "$BMP_CHECK" ] && [ -x "$BMP_CHECK" ]; then
    got=$("$BMP_CHECK" "$file" | cut -d' ' -f1)
    e2e_check "$depth bits: Qt reads it as $size (got ${got:-nothing})" [ "$got" = "$size" ]
  fi
}

# The run opens with a morph whose names fade in and out; without automatic
# morphs the pattern stays, and so does its name once N shows it.
mkdir -p "$PRISMORA_CONFIG_DIR"
printf '%s\n' 'Windows Registry Editor Version 5.00' '' '[HKEY_CURRENT_USER\Software\Quillfen\Prismora]' \
  '"Morph Settings"=dword:00000000' >"$PRISMORA_CONFIG_DIR/settings.reg"

timeout 5 xdotool mousemove 640 512
e2e_run_prismora /s
pid=$E2E_LAST_PID
if ! e2e_find_window "$pid" 5 >/dev/null; then
  e2e_fail "no window within 5 s"
  e2e_show_stderr
  e2e_finish
fi
sleep 1.5

# The name: bottom row, centred; grey 128 where glyphs cover whole pixels.
name_area=700x19+290+1005
shot before 0
press n
shot names
before=$(count_colour "$E2E_WORK/before.png" "$name_area" 808080)
after=$(count_colour "$E2E_WORK/names.png" "$name_area" 808080)
e2e_check "N shows the name at the bottom centre ($before grey pixels before, $after after)" \
  [ "$after" -gt 40 -a "$before" -lt 10 ]

# Tunnel by its key, then the list at the bottom left.
list_area=140x60+0+964
press y
shot tunnel 0.3
press F6
shot list
e2e_check "Y toggles Tunnel instead of ending the saver" e2e_is_running "$pid"
before=$(count_bright "$E2E_WORK/tunnel.png" "$list_area")
after=$(count_bright "$E2E_WORK/list.png" "$list_area")
e2e_check "F6 lists the effects at the bottom left ($before bright pixels before, $after after)" \
  [ "$after" -ge $((before + 15)) ]

press F12
shot rate 1.5
red=$(count_colour "$E2E_WORK/rate.png" 300x19+490+986 FF0000)
e2e_check "F12 shows the frame rate in red above the name ($red red pixels)" [ "$red" -gt 15 ]

press F1
shot help
help=$(count_colour "$E2E_WORK/help.png" 1280x70+0+0 808080)
before=$(count_colour "$E2E_WORK/rate.png" 1280x70+0+0 808080)
e2e_check "F1 shows the two help lines at the top ($before grey pixels before, $help after)" \
  [ "$help" -gt 300 -a "$before" -lt 10 ]

# The frame rate off again, so that slot 2 shows the notices.
press F12
press space
shot grab
yellow=$(count_colour "$E2E_WORK/grab.png" 400x19+440+986 FFFF00)
e2e_check "Space grabs the pattern and says so in yellow ($yellow yellow pixels)" [ "$yellow" -gt 30 ]
e2e_check "the grabbed pattern is stored" grep -q 'Patterns\\.* #1\]' "$PRISMORA_CONFIG_DIR/settings.reg"
press F5
shot notice
yellow=$(count_colour "$E2E_WORK/notice.png" 300x19+490+986 FFFF00)
red=$(count_colour "$E2E_WORK/notice.png" 300x19+490+986 FF0000)
e2e_check "F12 again hides the rate, and F5 shows \"Wallpaper set!\" in yellow ($red red, $yellow yellow pixels)" \
  [ "$yellow" -gt 30 -a "$red" -eq 0 ]
e2e_check "F5 writes Prismora.bmp in the data directory" [ -s "$PRISMORA_DATA_DIR/Prismora.bmp" ]
press F5
sleep 0.5
e2e_check "a second F5 keeps the first picture as PrismoraOld.bmp" [ -s "$PRISMORA_DATA_DIR/PrismoraOld.bmp" ]
e2e_check "the saver keeps running after F5" e2e_is_running "$pid"
pixmap=$(timeout 10 xprop -root _XROOTPMAP_ID 2>/dev/null)
e2e_check "the root window names its background pixmap (${pixmap:-none})" \
  grep -q 'pixmap id # 0x' <<<"$pixmap"
check_viewers "$PRISMORA_DATA_DIR/Prismora.bmp" 1280x1024 32
e2e_check "32 bits: no colour table, pixels at offset 54" [ "$(bmp_offset "$PRISMORA_DATA_DIR/Prismora.bmp")" = 54 ]

press Escape
if e2e_wait_exit "$pid" 5; then
  e2e_check "Esc ends it with exit code 0 (got $E2E_STATUS)" [ "$E2E_STATUS" -eq 0 ]
else
  e2e_fail "still running 5 s after Esc"
fi
e2e_show_stderr
# With the saver gone the root window shows its new background: the picture.
shot desktop 0.5
timeout 20 convert "$PRISMORA_DATA_DIR/Prismora.bmp" "$E2E_WORK/wallpaper.png"
differ=$(e2e_changed_pixels "$E2E_WORK/desktop.png" "$E2E_WORK/wallpaper.png")
e2e_check "the desktop shows the wallpaper ($differ pixels differ)" [ "$differ" -lt 1000 ]
e2e_check "and it is a picture" e2e_has_picture "$E2E_WORK/desktop.png"

# The other depths, unstretched files from a smaller saver.
for depth in 16 24; do
  rm -f "$PRISMORA_DATA_DIR"/*.bmp
  e2e_run_prismora /s --depth "$depth"
  pid=$E2E_LAST_PID
  e2e_find_window "$pid" 5 >/dev/null || e2e_fail "$depth bits: no window"
  sleep 1.5
  press F5
  sleep 0.5
  if [ -s "$PRISMORA_DATA_DIR/Prismora.bmp" ]; then
    check_viewers "$PRISMORA_DATA_DIR/Prismora.bmp" 1280x1024 "$depth"
  else
    e2e_fail "$depth bits: no Prismora.bmp"
  fi
  offset=$(bmp_offset "$PRISMORA_DATA_DIR/Prismora.bmp")
  [ "$depth" = 16 ] && e2e_check "16 bits: 65536 zero colours before the pixels (offset $offset)" [ "$offset" = 262198 ]
  [ "$depth" = 24 ] && e2e_check "24 bits: no colour table (offset $offset)" [ "$offset" = 54 ]
  press Escape
  e2e_wait_exit "$pid" 5 || e2e_stop "$pid"
  e2e_show_stderr
done
e2e_finish
