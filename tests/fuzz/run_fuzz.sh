#!/bin/sh
# Builds the fuzz targets with clang in their own build directory and runs
# each for a bounded time on a copy of its seed corpus. Exits non-zero when
# a target finds a crash (the reproducer is left in the build directory).
#
#   tests/fuzz/run_fuzz.sh [seconds per target] [build directory]
set -eu

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
seconds=${1:-60}
build_dir=${2:-$source_dir/build-fuzz}

CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPRISMORA_BUILD_BENCH=OFF >/dev/null
ninja -C "$build_dir" reg_parser_fuzz

# The corpus grows while fuzzing; keep the checked-in seeds as they are.
work="$build_dir/fuzz/reg_parser"
mkdir -p "$work/corpus" "$work/artifacts"
cp "$here"/corpus/* "$work/corpus/"
"$build_dir/tests/fuzz/reg_parser_fuzz" "$work/corpus" \
  -max_total_time="$seconds" -max_len=8192 -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/"
