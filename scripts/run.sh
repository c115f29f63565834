#!/usr/bin/env bash
# Builds Prismora (build/release, RelWithDebInfo) and runs the screen saver.
# Usage: scripts/run.sh [prismora arguments]   (default: --window)
#
# With no $DISPLAY (a server, or a fresh machine as root) it starts its own
# Xvfb at 1920x1080, runs the program for 10 seconds, saves a screenshot to
# build/screenshot.png and stops the program.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/release"
program="$build/apps/prismora/prismora"
screenshot="$root/build/screenshot.png"
seconds=10

say() { printf 'run.sh: %s\n' "$*"; }
die() {
  printf 'run.sh: %s\n' "$*" >&2
  exit 1
}

args=("$@")
[ ${#args[@]} -gt 0 ] || args=(--window)

groups=(build run)
[ -n "${DISPLAY:-}" ] || groups+=(test)
bash "$root/scripts/deps.sh" "${groups[@]}" || die "could not install the packages Prismora needs"

say "configuring $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null ||
  die "cmake could not configure $build"
say "building prismora"
cmake --build "$build" --target prismora || die "the build failed"
[ -x "$program" ] || die "the build produced no $program"

if [ -n "${DISPLAY:-}" ]; then
  say "running prismora ${args[*]} on $DISPLAY"
  exec "$program" "${args[@]}"
fi

# No display: a private X server, a timed run and a screenshot.
xvfb_pid=""
program_pid=""
runtime_dir=""
cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill -TERM "$program_pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$program_pid" 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill -TERM "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  [ -z "$runtime_dir" ] || rm -rf "$runtime_dir"
}
trap cleanup EXIT

display=""
for n in $(seq 99 -1 20); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp -noreset >"$root/build/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    kill -0 "$xvfb_pid" 2>/dev/null || break
    if xdpyinfo -display ":$n" >/dev/null 2>&1; then
      display=":$n"
      break
    fi
    sleep 0.1
  done
  [ -n "$display" ] && break
  kill -KILL "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
done
[ -n "$display" ] || die "could not start Xvfb (see $root/build/xvfb.log)"
export DISPLAY=$display
say "no display: started Xvfb on $DISPLAY (1920x1080)"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  # Qt wants a private runtime directory; a fresh root login has none.
  runtime_dir=$(mktemp -d "${TMPDIR:-/tmp}/prismora-runtime.XXXXXX")
  export XDG_RUNTIME_DIR=$runtime_dir
fi

say "running prismora ${args[*]} for $seconds seconds"
"$program" "${args[@]}" &
program_pid=$!
for _ in $(seq $((seconds * 10))); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
if ! kill -0 "$program_pid" 2>/dev/null; then
  status=0
  wait "$program_pid" || status=$?
  program_pid=""
  if [ "$status" -ne 0 ]; then
    printf 'run.sh: prismora ended early with exit code %s\n' "$status" >&2
    exit "$status"
  fi
  say "prismora ended by itself with exit code 0 before the screenshot"
  exit 0
fi

rm -f "$screenshot"
timeout 30 import -silent -window root "$screenshot" || die "could not take a screenshot"
kill -TERM "$program_pid" 2>/dev/null || true
for _ in $(seq 50); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$program_pid" 2>/dev/null; then
  say "prismora did not end within 5 s of SIGTERM; killing it"
  kill -KILL "$program_pid" 2>/dev/null || true
fi
status=0
wait "$program_pid" || status=$?
program_pid=""
# 143: ended by the SIGTERM just sent, as it should.
[ "$status" -eq 0 ] || [ "$status" -eq 143 ] || say "prismora ended with exit code $status"
say "screenshot saved to $screenshot"
