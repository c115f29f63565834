# shellcheck shell=bash
# Shared by the whole-program benchmarks; sourced, it defines functions only.

# bench_start_xvfb WIDTHxHEIGHT [Xvfb options...]: a private X server on a
# display number the server picks itself (-displayfd), so that benchmarks and
# tests running at the same time never race for one. Exports DISPLAY and sets
# xvfb to the server's process id.
bench_start_xvfb() {
  local size=$1 number
  shift
  number=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp "$@" 3>"$number" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do
    if [ -s "$number" ]; then
      DISPLAY=":$(tr -d '\n' <"$number")"
      export DISPLAY
      rm -f "$number"
      return 0
    fi
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$number"
  echo "$(basename "$0"): Xvfb did not start" >&2
  exit 1
}

bench_stop_xvfb() {
  if [ -n "${xvfb:-}" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
  xvfb=
}

# bench_work_dir: a private directory in work; at exit the program in pid (when
# set) and the X server are stopped and the directory is removed.
bench_work_dir() {
  work=$(mktemp -d)
  trap bench_cleanup EXIT
}

bench_cleanup() {
  if [ -n "${pid:-}" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  bench_stop_xvfb
  rm -rf "$work"
}

# bench_damage_counter: builds bench/damage_count.c, the counter of the X
# server's damage reports, as $work/damage_count.
bench_damage_counter() {
  cc -O2 -o "$work/damage_count" "$(dirname "${BASH_SOURCE[0]}")/damage_count.c" -lXdamage -lX11
}

# bench_no_music_settings DIR: a settings file in DIR that turns the saver's
# music off, whose threads would wake the process on their own.
bench_no_music_settings() {
  printf '%s\n' 'Windows Registry Editor Version 5.00' '' '[HKEY_CURRENT_USER\Software\Quillfen\Prismora]' \
    '"Music Index"=dword:ffffffff' >"$1/settings.reg"
}

# bench_start_saver PRISMORA: starts `PRISMORA /s` on settings of its own in
# $work, without music (its player's threads would wake the process on their
# own); its pid in pid. Returns after 2 s: start-up is not what is measured.
bench_start_saver() {
  bench_no_music_settings "$work"
  PRISMORA_STATE_DIR=$work PRISMORA_CONFIG_DIR=$work PRISMORA_DATA_DIR=$work "$1" /s >/dev/null 2>&1 &
  pid=$!
  sleep 2
}

# CPU time of a process so far, in clock ticks, hz of them a second.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# shellcheck disable=SC2034 # read by the scripts that source this
hz=$(getconf CLK_TCK)
