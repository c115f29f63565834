#!/bin/sh
# Builds a fuzz target with clang in its own build directory and runs it for
# a bounded time on a copy of its seed corpus (tests/fuzz/corpus for the
# settings parser, tests/fuzz/TARGET_corpus for the others).
# Exits non-zero when the target finds a crash (the reproducer is left in
# the build directory).
#
#   tests/fuzz/run_fuzz.sh [seconds] [build directory] [target]
#   targets: reg_parser (the settings file, the default), playlist
set -eu

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
seconds=${1:-60}
build_dir=${2:-$source_dir/build-fuzz}
target=${3:-reg_parser}

CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPRISMORA_BUILD_BENCH=OFF >/dev/null
ninja -C "$build_dir" "${target}_fuzz"

# The corpus grows while fuzzing; keep the checked-in seeds as they are.
work="$build_dir/fuzz/$target"
mkdir -p "$work/corpus" "$work/artifacts"
seeds="$here/${target}_corpus"
[ "$target" = reg_parser ] && seeds="$here/corpus"
cp "$seeds"/* "$work/corpus/"
"$build_dir/tests/fuzz/${target}_fuzz" "$work/corpus" \
  -max_total_time="$seconds" -max_len=8192 -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/"
