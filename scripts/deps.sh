#!/usr/bin/env bash
# Installs the Debian 12 packages Prismora needs, by group:
#   build  compilers, CMake, Ninja, Qt 6, GStreamer, libcurl, pugixml, Wayland (with KDE's protocols), the
#          test and benchmark libraries, and what the install and the .deb are
#          made with (rsvg-convert for the icons, dpkg-shlibdeps)
#   run    what the programs need at run time (the GStreamer plugins that play
#          MP3, Ogg, WAV, WMA, MIDI with its soundfont and HTTP streams)
#   test   the X server and tools the end-to-end tests drive, mate-screensaver
#          to run the saver as its theme, and lintian to check the .deb
# Usage: scripts/deps.sh [build] [run] [test]   (no argument: all three)
# Nothing is installed, and the package lists are not refreshed, when every
# package asked for is already present. Only bash, coreutils, dpkg and apt are used,
# so this runs on a bare Debian image.
set -euo pipefail

# libclang-rt-14-dev holds clang's sanitizer and libFuzzer runtimes, which clang
# only recommends.
build_packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libqt6opengl6-dev libxcb1-dev
  libxcb-shm0-dev libxcb-present-dev libxcb-randr0-dev
  libx11-dev libgtest-dev libgmock-dev libbenchmark-dev libpng-dev libfreetype-dev libfontconfig-dev clang
  clang-format clang-tidy libclang-rt-14-dev libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libpugixml-dev
  libcurl4-openssl-dev librsvg2-bin dpkg-dev libwayland-dev wayland-protocols libxkbcommon-dev plasma-wayland-protocols)
run_packages=(libqt6widgets6 libqt6opengl6 libqt6openglwidgets6 libgl1-mesa-dri fonts-liberation2 libfreetype6
  libfontconfig1 gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-alsa gstreamer1.0-pulseaudio glib-networking
  timgm6mb-soundfont qt6-wayland)
# bench/side_by_side.sh runs programs of xscreensaver-data-extra and builds its frame counter
# against libxdamage-dev.
# libgdk-pixbuf2.0-bin reads the wallpaper files as GTK image viewers do; locales: the tests run the
# log under a comma-decimal locale (de_DE.UTF-8), which this script generates when it is missing.
# desktop-file-utils and groff-base check the installed desktop entries and man pages; mate-screensaver runs
# in a private D-Bus session (dbus-daemon) with its settings set by gsettings (libglib2.0-bin); xscreensaver
# and xsecurelock are the other real hosts the program runs under as a hack; x11-xserver-utils (xrandr,
# xsetroot) makes the monitors of the two-monitor test. sway and weston run headless as the Wayland
# sessions of the Wayland tests; grim takes their screenshots and wtype types into them; swaylock is the
# locker started over the saver there.
# xserver-xorg-video-dummy gives the refresh pacing test an Xorg whose monitor has a refresh rate. ccache
# lets scripts/test.sh rebuild only what changed since its last run.
test_packages=(xvfb xauth xdotool x11-utils x11-xserver-utils imagemagick libgdk-pixbuf2.0-bin locales desktop-file-utils groff-base
  mate-screensaver dbus-daemon libglib2.0-bin procps lintian xscreensaver xsecurelock xscreensaver-data-extra
  libxdamage-dev sway weston grim wtype xserver-xorg-video-dummy ccache
  swaylock)

groups=("$@")
if [ ${#groups[@]} -eq 0 ]; then
  groups=(build run test)
fi

wanted=()
for group in "${groups[@]}"; do
  case "$group" in
    build) wanted+=("${build_packages[@]}") ;;
    run) wanted+=("${run_packages[@]}") ;;
    test) wanted+=("${test_packages[@]}") ;;
    *)
      echo "deps.sh: unknown group '$group' (expected build, run or test)" >&2
      exit 2
      ;;
  esac
done

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  if [ "$status" != "install ok installed" ]; then
    missing+=("$package")
  fi
done

# The comma-decimal locale of the log tests, made once.
ensure_test_locale() {
  case " ${groups[*]} " in *" test "*) ;; *) return 0 ;; esac
  if locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then return 0; fi
  echo "deps.sh: generating the de_DE.UTF-8 locale"
  "${as_root[@]}" localedef -i de_DE -c -f UTF-8 de_DE.UTF-8 ||
    echo "deps.sh: could not generate de_DE.UTF-8; the locale test will be skipped" >&2
}

as_root=()
if [ ${#missing[@]} -eq 0 ]; then
  echo "deps.sh: all packages for '${groups[*]}' are installed"
  if [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null 2>&1; then as_root=(sudo); fi
  ensure_test_locale
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
  else
    echo "deps.sh: missing packages: ${missing[*]}" >&2
    echo "deps.sh: run this script as root to install them" >&2
    exit 1
  fi
fi

echo "deps.sh: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! "${as_root[@]}" apt-get update -q; then
  echo "deps.sh: apt-get update failed" >&2
  exit 1
fi
if ! "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  "${missing[@]}"; then
  echo "deps.sh: apt-get install failed for: ${missing[*]}" >&2
  exit 1
fi
echo "deps.sh: installed ${missing[*]}"
ensure_test_locale
