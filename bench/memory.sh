#!/usr/bin/env bash
# Where the resident memory of `prismora /s` goes, without music, under its own
# Xvfb: the total (RSS, PSS, anonymous, threads) and a table of the mappings
# grouped by what they hold, after WARM seconds; then the RSS sampled every
# STEP seconds up to HOLD seconds, to see that it stays flat.
# Usage: bench/memory.sh PRISMORA [WARM] [HOLD] [STEP] [WIDTHxHEIGHT] [MONITORS]
#        (default 5 s, 60 s, 15 s, 1920x1080, 1 monitor); more programs may
#        follow, separated by commas in PRISMORA, to compare them in one
#        sitting. With 2 monitors the screen is two of that size side by side.
set -euo pipefail
programs=${1:?path to prismora (or several, separated by commas)}
warm=${2:-5}
hold=${3:-60}
step=${4:-15}
size=${5:-1920x1080}
monitors=${6:-1}
width=${size%x*}
height=${size#*x}

source "$(dirname "$0")/bench_lib.sh"
work=$(mktemp -d)
pid=""
xvfb=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  bench_stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT

bench_start_xvfb "$((width * monitors))x${height}" -noreset
if [ "$monitors" = 2 ]; then
  xrandr --setmonitor left "$width/338x$height/190+0+0" screen >/dev/null
  xrandr --setmonitor right "$width/338x$height/190+$width+0" none >/dev/null
fi

# One line per group: resident kB, of which private dirty (written) kB.
# Groups: the heap, other anonymous memory (large allocations, arenas, thread
# stacks), shared memory (frames shared with the X server: MIT-SHM, memfd), our executable, each
# shared library by name, fonts and caches (files under /usr/share, /var/cache,
# ~/.cache), everything else.
breakdown() {
  awk '
    /^[0-9a-f]+-[0-9a-f]+ / {
      path = (NF >= 6) ? $6 : ""
      for (i = 7; i <= NF; ++i) path = path " " $i
      if (path == "[heap]") group = "heap"
      else if (path == "[stack]") group = "main stack"
      else if (path ~ /^\[/) group = "kernel " path
      else if (path ~ /^\/SYSV|^\/memfd:/) group = "shared memory (frames shared with the X server)"
      else if (path == "") group = "anonymous"
      else if (path ~ /\/prismora$|\/lumiowindow$/) group = "executable"
      else if (path ~ /\.so/) { n = split(path, parts, "/"); group = parts[n]; sub(/\.so.*/, "", group) }
      else if (path ~ /fontconfig|\/fonts\//) group = "fonts and font caches"
      else group = "other files"
      next
    }
    /^Rss:/ { rss[group] += $2 }
    /^Private_Dirty:/ { dirty[group] += $2 }
    END { for (g in rss) if (rss[g] > 0) printf "%8d %8d  %s\n", rss[g], dirty[g], g }
  ' "/proc/$1/smaps" | sort -rn
}

# Libraries summed into families, so the table stays short.
families() {
  awk '{
      g = $3; for (i = 4; i <= NF; ++i) g = g " " $i
      if (g ~ /^libQt6/) f = "Qt 6 libraries"
      else if (g ~ /^libgst|^libgio|^libglib|^libgobject|^libgmodule|^liborc/) f = "GStreamer and GLib"
      else if (g ~ /^libcurl|^libssl|^libcrypto|^libgnutls|^libnghttp|^libssh|^librtmp|^libldap|^liblber|^libsasl|^libpsl|^libidn|^libgssapi|^libkrb|^libk5crypto|^libbrotli|^libzstd|^libnettle|^libhogweed|^libgmp|^libp11|^libtasn1|^libunistring|^libkeyutils|^libcom_err/) f = "curl, TLS and what they pull in"
      else if (g ~ /^libicu/) f = "ICU"
      else if (g ~ /^libstdc|^libc$|^libm$|^libgcc|^ld-linux/) f = "C and C++ runtime"
      else if (g ~ /^libGL|^libEGL|^libGLX|^libgbm|^libdrm|^libglapi|^swrast|^libLLVM|^libsensors|^libexpat|^libxshmfence|^libvulkan|^kms_swrast|^libgallium/) f = "OpenGL and Mesa"
      else if (g ~ /^libx|^libX|^libxcb/) f = "X11 and xcb"
      else if (g ~ /^lib/) f = "other libraries"
      else f = g
      rss[f] += $1; dirty[f] += $2
    }
    END { for (f in rss) printf "%8d %8d  %s\n", rss[f], dirty[f], f }' | sort -rn
}

settle() {
  state="$work/state"
  rm -rf "$state"
  mkdir -p "$state"
  # Without music, as the memory is judged.
  bench_no_music_settings "$state"
  export PRISMORA_STATE_DIR=$state PRISMORA_CONFIG_DIR=$state PRISMORA_DATA_DIR=$state
}

IFS=, read -r -a list <<<"$programs"
for program in "${list[@]}"; do
  program=$(realpath "$program")
  settle
  "$program" /s --no-music >"$work/out" 2>&1 &
  pid=$!
  sleep "$warm"
  echo "== $program /s --no-music at $size on $monitors monitor(s), after $warm s"
  awk '/^(Rss|Pss|Pss_Anon|Pss_File|Anonymous|Private_Dirty|Shared_Clean|Private_Clean):/ { printf "%s %.1f MB  ", $1, $2 / 1024 }
       END { print "" }' "/proc/$pid/smaps_rollup"
  awk '/^Threads/ { print "threads " $2 }' "/proc/$pid/status"
  breakdown "$pid" >"$work/groups"
  echo "  RSS kB  dirty kB  what"
  awk '$3 !~ /^lib|^ld-linux|^swrast|^kms_swrast/' "$work/groups"
  awk '$3 ~ /^lib|^ld-linux|^swrast|^kms_swrast/' "$work/groups" | families
  echo "largest libraries (RSS kB, dirty kB):"
  awk '$3 ~ /^lib|^ld-linux/' "$work/groups" | head -8 | awk '{ printf "    %s %s %s\n", $1, $2, $3 }'
  printf 'RSS over time (s: MB):'
  start=$SECONDS
  elapsed=$warm
  while :; do
    printf ' %d: %.1f' "$elapsed" "$(awk '/^VmRSS/ { print $2 / 1024 }' "/proc/$pid/status")"
    [ "$elapsed" -ge "$hold" ] && break
    sleep "$step"
    elapsed=$((warm + SECONDS - start))
  done
  echo
  # What grew since the table: the groups that changed by 64 kB or more.
  breakdown "$pid" >"$work/groups.end"
  echo "grown by the end (kB): $(awk 'NR == FNR { g = $3; for (i = 4; i <= NF; ++i) g = g " " $i; start[g] = $1; next }
    { g = $3; for (i = 4; i <= NF; ++i) g = g " " $i; d = $1 - start[g]; if (d >= 64 || d <= -64) printf "%s %+d; ", g, d }' \
    "$work/groups" "$work/groups.end")"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=""
done
