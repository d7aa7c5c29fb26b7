#!/usr/bin/env bash
# Line coverage of the player and the kit by the whole test suite.
# Builds a separate tree with gcc --coverage (-O0, no benchmarks), runs every
# ctest test except the Windows ones (they run the cross-built .exe files under
# Wine, which leave no host coverage), and prints the line coverage of lib/,
# codec/, audio/, app/, font/, platform/ and kit/, per directory and in total.
# Needs gcovr (apt-get install gcovr).
#
# Usage: scripts/coverage.sh [BUILD_DIR]      (default build-coverage)
#   JOBS=2          parallel compile and test jobs
#   TEST_TIMEOUT=600  seconds before ctest gives up on one test
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build-coverage}
jobs=${JOBS:-2}
test_timeout=${TEST_TIMEOUT:-600}
code_dirs=(lib codec audio app font platform kit)

command -v gcovr >/dev/null || { echo "coverage.sh: gcovr is missing (apt-get install gcovr)" >&2; exit 1; }

if [ ! -f "$build/CMakeCache.txt" ]; then
  # Tests run in parallel and some use threads: atomic counter updates keep
  # the counts from going negative, which gcov then cannot report.
  flags="-O0 -g --coverage -fprofile-update=atomic"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVEL_BUILD_BENCH=OFF \
    -DCMAKE_C_FLAGS_DEBUG="$flags" -DCMAKE_CXX_FLAGS_DEBUG="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="--coverage" -DCMAKE_SHARED_LINKER_FLAGS="--coverage"
fi
if [ ! -d "$build/testdata/photos" ]; then
  if [ -d build/testdata/photos ]; then
    cp -r build/testdata "$build/"
  else
    scripts/fetch-test-photos.sh "$build/testdata" ||
      echo "test photographs unavailable: photo tests will be skipped" >&2
  fi
fi
nice -n 10 cmake --build "$build" -j "$jobs"

# Counters from an earlier run would add to this one.
find "$build" -name '*.gcda' -delete

echo "== coverage: test suite ($(date -u +%T))"
# A failing test still leaves its counters; the figures are printed either way.
status=0
(cd "$build" && nice -n 10 ctest -E '^windows_' -j "$jobs" --timeout "$test_timeout" \
   --output-on-failure) > "$build/coverage-ctest.log" 2>&1 || status=$?
grep -E 'tests passed|tests failed' "$build/coverage-ctest.log" || true
[ "$status" -eq 0 ] || { echo "coverage.sh: some tests failed, see $build/coverage-ctest.log" >&2
                         grep -E '^\s+[0-9]+ - ' "$build/coverage-ctest.log" >&2 || true; }

filters=()
for dir in "${code_dirs[@]}"; do filters+=(--filter "$root/$dir/"); done
summary="$build/coverage-files.csv"
# One row per source file (headers included): file, lines, covered lines, ...
nice -n 10 gcovr --root "$root" "${filters[@]}" --object-directory "$build" \
  -j "$jobs" --gcov-ignore-parse-errors --csv "$summary"

echo "== line coverage by directory"
awk -F, -v dirs="${code_dirs[*]}" '
  BEGIN { n = split(dirs, order, " ") }
  NR > 1 {
    split($1, parts, "/"); dir = parts[1]
    lines[dir] += $2; covered[dir] += $3; all += $2; hit += $3
  }
  END {
    printf "%-10s %8s %8s %7s\n", "directory", "lines", "covered", "cover"
    for (i = 1; i <= n; i++) {
      d = order[i]
      if (lines[d] > 0) printf "%-10s %8d %8d %6.1f%%\n", d, lines[d], covered[d], 100 * covered[d] / lines[d]
    }
    if (all > 0) printf "%-10s %8d %8d %6.1f%%\n", "total", all, hit, 100 * hit / all
  }' "$summary"
exit "$status"
