#!/usr/bin/env bash
# Makes the music track built into the program: "Prism Drift", a calm
# ambient piece of slow overlapping chords with a few soft bell notes, about
# three minutes long, that starts and ends in silence so that it loops
# without a click. Synthesised with sox and encoded with lame (Debian
# packages sox, libsox-fmt-mp3 is not needed, lame).
#
#   data/make_track.sh [output.mp3]     default: data/prism_drift.mp3
#
# The result is committed beside this script; run it again only to change
# the piece. The same tools always give the same file.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/prism_drift.mp3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rate=44100
chord_seconds=20
overlap=6
# Nine chords (frequencies in Hz): a slow turn around D major and B minor.
chords=(
  "146.83 220.00 293.66 369.99"
  "123.47 185.00 246.94 293.66"
  "98.00 196.00 246.94 293.66"
  "110.00 164.81 220.00 277.18"
  "146.83 220.00 293.66 440.00"
  "123.47 185.00 293.66 369.99"
  "130.81 196.00 261.63 329.63"
  "110.00 220.00 277.18 329.63"
  "146.83 220.00 293.66 369.99"
)
# Bell notes: start second, frequency.
bells=("12 587.33" "31 739.99" "52 659.26" "70 880.00" "93 739.99" "118 587.33" "137 659.26" "155 493.88")

parts=()
i=0
for chord in "${chords[@]}"; do
  start=$((i * chord_seconds))
  length=$((chord_seconds + overlap))
  notes=()
  n=0
  for f in $chord; do
    # Each voice: a sine with a slow tremolo of its own, panned a little.
    pan_left=$(awk -v n=$n 'BEGIN { printf "%.2f", 0.55 + 0.15 * ((n % 2) ? 1 : -1) }')
    pan_right=$(awk -v l="$pan_left" 'BEGIN { printf "%.2f", 1.1 - l }')
    sox -n -r $rate -c 1 "$work/v$i-$n.wav" synth $length sine "$f" sine "$(awk -v f="$f" 'BEGIN { print f * 1.003 }')" \
      remix - tremolo "0.$((n + 1))5" 35 fade h 6 $length 6 vol 0.22
    sox "$work/v$i-$n.wav" "$work/p$i-$n.wav" remix 1v$pan_left 1v$pan_right
    notes+=("$work/p$i-$n.wav")
    n=$((n + 1))
  done
  sox -m -v 1 "${notes[@]}" "$work/c$i.wav" pad $start
  parts+=("$work/c$i.wav")
  i=$((i + 1))
done
for bell in "${bells[@]}"; do
  set -- $bell
  sox -n -r $rate -c 2 "$work/b$1.wav" synth 7 sine "$2" fade q 0.05 7 6.9 vol 0.12 pad "$1"
  parts+=("$work/b$1.wav")
done

total=$(((${#chords[@]}) * chord_seconds + overlap))
sox -m -v 1 "${parts[@]}" "$work/mix.wav" trim 0 $total
sox "$work/mix.wav" "$work/final.wav" reverb 60 50 90 gain -n -4 fade h 3 $total 5
lame --quiet --noreplaygain -b 112 -q 2 "$work/final.wav" "$out"
echo "made $out ($(stat -c %s "$out") bytes, $total s)"
