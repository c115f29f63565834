#!/usr/bin/env bash
# Builds Prismora and runs every test in two configurations:
#   release  build/release, RelWithDebInfo
#   asan     build/asan, RelWithDebInfo with AddressSanitizer and
#            UndefinedBehaviorSanitizer; the first report fails the run. (Debug
#            made the multi-process store tests some ten times slower, past their
#            timeout.)
# plus a formatting check, bounded libFuzzer runs of the settings parser, of
# the whole saver fed a settings file (PRISMORA_FUZZ_SECONDS each, default
# 120) and of the playlist reader and the music list (PRISMORA_PLAYLIST_FUZZ_SECONDS
# between them, default 60), and the core and toolkit tests once more shuffled and
# repeated, to catch tests that depend on order or on what another test left.
# Both trees make warnings in our own code errors (PRISMORA_WERROR). The
# release tree (configured for /usr, as the package installs there) is then
# packaged as a .deb with cpack and checked with lintian --pedantic: an error,
# a warning or a missing hardening flag fails the run.
# The window tests start their own Xvfb, so no display is needed.
# Usage: scripts/test.sh        Exit status: 0 when every step passed.
#
# An unformatted file fails the run; PRISMORA_FORMAT_STRICT=0 only lists them.
# PRISMORA_RELEASE_DIR and PRISMORA_ASAN_DIR put the two build trees somewhere else.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1
format_strict=${PRISMORA_FORMAT_STRICT:-1}
release_dir=${PRISMORA_RELEASE_DIR:-$root/build/release}
asan_dir=${PRISMORA_ASAN_DIR:-$root/build/asan}
build_timeout=$((25 * 60))
test_timeout=$((15 * 60))
shuffle_timeout=$((10 * 60))

summary=()
failed_steps=0
tests_passed=0
tests_failed=0

say() { printf '\n=== test.sh: %s\n' "$*"; }
# Each summary line ends with the minutes and seconds since the line before
# (or since the dependencies were in place), so a slow step shows.
step_started=$SECONDS
note() {
  local spent=$((SECONDS - step_started))
  step_started=$SECONDS
  summary+=("$(printf '%-10s %s [%dm%02ds]' "$1" "$2" $((spent / 60)) $((spent % 60)))")
  case "$2" in FAILED*) failed_steps=$((failed_steps + 1)) ;; esac
}

if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  # Qt wants a private runtime directory; CI and a fresh root login have none.
  runtime_dir=$(mktemp -d "${TMPDIR:-/tmp}/prismora-runtime.XXXXXX") || exit 1
  export XDG_RUNTIME_DIR=$runtime_dir
  trap 'rm -rf "$runtime_dir"' EXIT
fi

say "dependencies"
if ! bash "$root/scripts/deps.sh" build run test; then
  echo "test.sh: could not install the packages the build and the tests need" >&2
  exit 1
fi
step_started=$SECONDS

# A compiler cache, where one is installed, makes a second run rebuild only
# what changed; paths are taken relative to the checkout so that another
# clone of the same sources hits the same entries.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
fi

format_check() {
  say "format check (clang-format --dry-run -Werror)"
  local files=() report
  mapfile -t files < <(find "$root" \( -path "$root/build*" -o -path "$root/.git" \) -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print | sort)
  if [ ${#files[@]} -eq 0 ]; then
    note format "no sources"
    return
  fi
  report=$(clang-format --dry-run -Werror "${files[@]}" 2>&1)
  local unformatted
  unformatted=$(printf '%s\n' "$report" | sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: .*clang-format-violations.*/\1/p' |
    sort -u | sed "s|^$root/||")
  if [ -z "$unformatted" ] && [ -z "$report" ]; then
    note format "passed (${#files[@]} files)"
    return
  fi
  if [ -z "$unformatted" ]; then
    printf '%s\n' "$report"
    note format "FAILED (clang-format could not check the files)"
    return
  fi
  local count
  count=$(printf '%s\n' "$unformatted" | wc -l)
  echo "not formatted (clang-format -i FILE fixes it):"
  printf '%s\n' "$unformatted" | sed 's/^/  /'
  if [ "$format_strict" = 1 ]; then
    note format "FAILED ($count of ${#files[@]} files not formatted)"
  else
    note format "$count of ${#files[@]} files not formatted (reported only)"
  fi
}

# Adds the counts from ctest's closing line ("N% tests passed, F tests failed out of T").
count_ctest() {
  local line total failed
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
  [ -n "$line" ] || return 0
  failed=$(printf '%s\n' "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
  total=$(printf '%s\n' "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
  tests_failed=$((tests_failed + failed))
  tests_passed=$((tests_passed + total - failed))
}

# run_configuration NAME DIR BUILD_TYPE CMAKE_ARGS...: 0 when every test passed,
# 1 when the tree could not be built, 2 when a test failed.
run_configuration() {
  local name=$1 dir=$2 type=$3
  shift 3
  local log="$dir/ctest.log"
  say "$name: configure ($type $*)"
  if ! cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@"; then
    note "$name" "FAILED (configure)"
    return 1
  fi
  say "$name: build"
  if ! timeout --kill-after=30 "$build_timeout" cmake --build "$dir"; then
    note "$name" "FAILED (build)"
    return 1
  fi
  say "$name: ctest"
  timeout --kill-after=30 "$test_timeout" \
    ctest --test-dir "$dir" --output-on-failure -j2 --timeout 300 --no-tests=error 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  count_ctest "$log"
  local counts
  counts=$(grep -E '^[0-9]+% tests passed' "$log" | tail -n 1)
  if [ "$status" -ne 0 ]; then
    [ "$status" -eq 124 ] && counts="timed out after $test_timeout s"
    note "$name" "FAILED (${counts:-ctest exited with $status})"
    return 2
  fi
  note "$name" "passed ($counts)"
}

# run_shuffled NAME DIR: runs the GoogleTest executables of a configuration
# directly, shuffled and twice.
run_shuffled() {
  local name=$1 dir="$2/tests" exe ran=0 bad=0
  say "$name: shuffled and repeated"
  for exe in "$dir/prismora_tests" "$dir/prismora_qt_tests"; do
    [ -x "$exe" ] || continue
    ran=$((ran + 1))
    if ! QT_QPA_PLATFORM=offscreen timeout --kill-after=30 "$shuffle_timeout" \
      "$exe" --gtest_shuffle --gtest_repeat=2 --gtest_brief=1; then
      bad=$((bad + 1))
      echo "test.sh: $(basename "$exe") failed when shuffled and repeated"
    fi
  done
  if [ "$ran" -eq 0 ]; then
    note shuffled "FAILED (no test executable in $dir)"
  elif [ "$bad" -gt 0 ]; then
    note shuffled "FAILED ($bad of $ran executables)"
  else
    note shuffled "passed ($ran executables, --gtest_shuffle --gtest_repeat=2)"
  fi
}

# package: the release tree's .deb, made by cpack and checked by lintian; its
# size and the installed size go into the summary.
package_check() {
  local dir=$1 log="$root/build/package.log" lintian_log="$root/build/lintian.log" deb
  say "package: cpack -G DEB in $dir, then lintian"
  mkdir -p "$root/build"
  rm -f "$dir"/prismora_*.deb
  if ! (cd "$dir" && timeout --kill-after=30 600 cpack -G DEB) >"$log" 2>&1; then
    tail -n 30 "$log"
    note package "FAILED (cpack, see $log)"
    return
  fi
  deb=$(find "$dir" -maxdepth 1 -name 'prismora_*.deb' | head -n 1)
  if [ -z "$deb" ]; then
    note package "FAILED (cpack wrote no .deb, see $log)"
    return
  fi
  local size installed unpacked errors warnings
  size=$(stat -c %s "$deb")
  installed=$(dpkg-deb -f "$deb" Installed-Size)
  # The files' own sizes: cpack's Installed-Size counts the hack link as a
  # second copy of the program.
  unpacked=$(dpkg-deb --fsys-tarfile "$deb" | tar -tvf - | awk '{s += $3} END {printf "%d", s / 1024}')
  echo "test.sh: $(basename "$deb"): $size bytes; files $unpacked KiB (Installed-Size: $installed KiB)"
  # Warnings fail too: a user's or a distribution's lintian shows them. The
  # hardening tags are only notes to lintian, but the package is built
  # hardened, so one of them means the build lost a flag; except the one on
  # fortified calls, which lintian also gives when no call needed a check (the
  # sound module). The other notes and pedantic tags are counted (help pages
  # outside /usr/share/doc are the program's own data).
  timeout --kill-after=30 600 lintian --pedantic --display-info --fail-on error,warning "$deb" >"$lintian_log" 2>&1
  local status=$?
  cat "$lintian_log"
  errors=$(grep -c '^E: ' "$lintian_log")
  warnings=$(grep -c '^W: ' "$lintian_log")
  local hardening notes
  hardening=$(grep '^.: [^ ]* hardening-' "$lintian_log" | grep -vc ' hardening-no-fortify-functions ')
  notes=$(grep -c '^[IP]: ' "$lintian_log")
  if [ "$status" -ne 0 ] || [ "$errors" -ne 0 ] || [ "$warnings" -ne 0 ] || [ "$hardening" -ne 0 ]; then
    note package "FAILED (lintian: $errors errors, $warnings warnings, $hardening hardening tags, exit $status; see $lintian_log)"
    return
  fi
  note package "passed ($(basename "$deb"): $size bytes, files $unpacked KiB; lintian --pedantic: 0 errors, 0 warnings, $notes notes)"
}

format_check

run_configuration release "$release_dir" RelWithDebInfo -DPRISMORA_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr
release_status=$?
[ $release_status -eq 1 ] || run_shuffled release "$release_dir"
if [ $release_status -eq 1 ]; then
  note package "FAILED (the release tree was not built)"
else
  package_check "$release_dir"
fi

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:print_stacktrace=1:check_initialization_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
suppressions="$root/tests/e2e/lsan.supp"
[ -f "$suppressions" ] && export LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0"
run_configuration asan "$asan_dir" RelWithDebInfo -DPRISMORA_WERROR=ON -DPRISMORA_SANITIZE=ON
unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS

# fuzz: the settings file's parser, and the whole saver run from a settings
# file, each under libFuzzer for a bounded time.
fuzz_seconds=${PRISMORA_FUZZ_SECONDS:-120}
say "fuzz: reg_parser_fuzz and saver_run_fuzz for $fuzz_seconds s each"
fuzz_log="$root/build/fuzz.log"
mkdir -p "$root/build"
if "$root/tests/fuzz/run_fuzz.sh" "$fuzz_seconds" "$root/build/fuzz" reg_parser_fuzz saver_run_fuzz >"$fuzz_log" 2>&1; then
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$fuzz_log" | paste -sd/ -)
  note fuzz "passed (${runs:-?} inputs in $fuzz_seconds s each, nothing found)"
else
  tail -n 40 "$fuzz_log"
  note fuzz "FAILED (see $fuzz_log)"
fi

# fuzz: the playlist reader (files and server answers) the same way, and the
# music list with a playlist as the saver hands them to the sound service;
# the seconds are shared between the two.
playlist_fuzz_seconds=${PRISMORA_PLAYLIST_FUZZ_SECONDS:-60}
say "fuzz: playlist_fuzz and music_fuzz for $((playlist_fuzz_seconds / 2)) s each"
playlist_fuzz_log="$root/build/fuzz-playlist.log"
if "$root/tests/fuzz/run_fuzz.sh" "$((playlist_fuzz_seconds / 2))" "$root/build/fuzz" playlist_fuzz music_fuzz \
  >"$playlist_fuzz_log" 2>&1; then
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$playlist_fuzz_log" | paste -sd/ -)
  note fuzz "passed (playlist reader/music list: ${runs:-?} inputs in $((playlist_fuzz_seconds / 2)) s each, nothing found)"
else
  tail -n 40 "$playlist_fuzz_log"
  note fuzz "FAILED (playlist reader, see $playlist_fuzz_log)"
fi

say "summary"
printf '  %s\n' "${summary[@]}"
echo "  all steps: $((SECONDS / 60)) min $((SECONDS % 60)) s"
[ "$failed_steps" -eq 0 ] || echo "  $failed_steps step(s) FAILED"
# Test cases of both configurations together, as ctest counted them.
echo "Summary: $tests_passed passed, $tests_failed failed"
[ "$failed_steps" -eq 0 ]
