#!/bin/sh
# Builds the fuzz targets with clang in their own build directory, the whole
# tree instrumented, and runs each for a bounded time on a copy of its seed
# corpus. Exits non-zero when a target finds a crash (the reproducer is left
# in the build directory).
#
#   tests/fuzz/run_fuzz.sh [seconds per target] [build directory] [target...]
#   targets: reg_parser_fuzz saver_run_fuzz (the default), playlist_fuzz, music_fuzz
set -eu

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
seconds=${1:-60}
build_dir=${2:-$source_dir/build-fuzz}
shift $(($# < 2 ? $# : 2))
targets=${*:-reg_parser_fuzz saver_run_fuzz}

CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPRISMORA_BUILD_BENCH=OFF -DPRISMORA_FUZZ=ON -DPRISMORA_WERROR=ON >/dev/null
# shellcheck disable=SC2086
ninja -C "$build_dir" $targets

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# fontconfig keeps its configuration for the life of the process.
export LSAN_OPTIONS="suppressions=$here/../e2e/lsan.supp:print_suppressions=0"
# Inputs up to 1 MB: faults that grow with nesting or length hide below a
# few kilobytes. Memory past 2 GB is a finding too.
max_len=1048576
# The targets run side by side, one a core, each writing its own log; the
# logs follow one another once all have ended.
pids=
for target in $targets; do
  case $target in
    reg_parser_fuzz) seeds=$here/corpus dict= ;;
    saver_run_fuzz) seeds=$here/saver_corpus dict= ;;
    playlist_fuzz) seeds=$here/playlist_corpus dict= ;;
    music_fuzz) seeds=$here/music_corpus dict= ;;
    *) echo "run_fuzz.sh: no such target $target" >&2; exit 2 ;;
  esac
  # A target's own dictionary, when it has one beside it.
  if [ -z "$dict" ] && [ -f "$here/$target.dict" ]; then dict=-dict=$here/$target.dict; fi
  # The corpus grows while fuzzing; keep the checked-in seeds as they are.
  work="$build_dir/fuzz/$target"
  mkdir -p "$work/corpus" "$work/artifacts"
  cp "$seeds"/* "$work/corpus/"
  # shellcheck disable=SC2086
  "$build_dir/tests/fuzz/$target" "$work/corpus" $dict \
    -max_total_time="$seconds" -max_len="$max_len" -timeout=60 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" >"$work/log" 2>&1 &
  pids="$pids $!"
done
status=0
for pid in $pids; do
  wait "$pid" || status=1
done
for target in $targets; do
  echo "=== $target for $seconds s"
  cat "$build_dir/fuzz/$target/log"
done
exit $status
