#!/usr/bin/env bash
# How many deliberate faults the test suite notices. Each of the 20 faults
# below changes one comparison or constant in lib/, codec/, audio/, app/ or
# font/. For each one the script applies it, rebuilds incrementally, runs the
# ctest suite (without the Windows tests, which check the cross build and
# would not see the change) and restores the file. A fault counts as caught
# when any test fails or times out.
#
# To keep the run short the tests of the fault's own test directory run
# first; only when they all pass does the rest of the suite run, so the
# verdict is the same as for the whole suite.
#
# Usage: scripts/seeded-faults.sh [BUILD_DIR]    (default build, configured)
#   JOBS=2            parallel build and test jobs
#   TEST_TIMEOUT=120  seconds before a test counts as hanging (and failing)
#   ONLY="3 7"        run only these faults (by number)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build}
jobs=${JOBS:-2}
test_timeout=${TEST_TIMEOUT:-120}
only=${ONLY:-}
log_dir="$build/seeded-faults"

[ -f "$build/CMakeCache.txt" ] || { echo "seeded-faults.sh: $build is not a configured build" >&2; exit 1; }
mkdir -p "$log_dir"

# file @ exact text (must occur on exactly one line) @ replacement @ test dir @ what goes wrong
faults=(
  "lib/archive_format.h@kArchiveHeaderSize = 47;@kArchiveHeaderSize = 46;@lib@archive header one byte short"
  "lib/lz_unpack.cpp@    if (offset == 1) {@    if (offset == 2) {@lz@LZ match at distance 2 filled as a run"
  "lib/archive_index.cpp@if (item.length < probe.length@if (item.length <= probe.length@lib@exact name no longer its own tail"
  "lib/archive_index.cpp@if (a.next != b.next) return a.next < b.next ? -1 : 1;@if (a.next != b.next) return a.next > b.next ? -1 : 1;@lib@name index sorted backwards past 8 bytes"
  "codec/picture_decoder.cpp@if (h > w) return false;@if (h >= w) return false;@codec@square pictures refused"
  "codec/dequantise.cpp@if (quadrant == 1) return@if (quadrant == 2) return@codec@subband quadrants mixed up"
  "codec/dequantise.cpp@double vertical = std::pow(3.0,@double vertical = std::pow(2.0,@codec@vertical quantiser step grows too slowly"
  "codec/scan_order.cpp@if (r < 2 * b * b) {@if (r <= 2 * b * b) {@codec@scan order off by one at the lower right"
  "audio/wav_loop.cpp@rate != 44100@rate != 48000@audio@loops at 44100 Hz refused"
  "audio/wav_loop.cpp@kFormatMinimumBytes = 16;@kFormatMinimumBytes = 18;@audio@plain 16-byte format chunk refused"
  "audio/loop_mixer.cpp@(double(target) - double(current)) * 0.01);@(double(target) - double(current)) * 0.02);@audio@loop volume ramps twice as fast"
  "audio/loop_mixer.cpp@double(current) * (1.0 / 32768.0);@double(current) * (1.0 / 32767.0);@audio@mixer gain scale off"
  "app/show.h@kFadeStartMilliseconds = 500;@kFadeStartMilliseconds = 400;@show@fade starts 100 ms early"
  "app/show.h@kCaptionTypingRate = 51;@kCaptionTypingRate = 50;@show@captions typed too slowly"
  "app/frame.cpp@kSecondsPerByte = 1.0 / 176400.0;@kSecondsPerByte = 1.0 / 176000.0;@show@music clock runs fast"
  "app/show_captions.cpp@== '\\n' && next < kCaptionLineCount)@== '\\n' && next <= kCaptionLineCount)@show@caption table written one past its end"
  "font/font_definition.cpp@kGlyphRecordSize = 28;@kGlyphRecordSize = 24;@font@glyph records read at the wrong size"
  "font/font_definition.cpp@glyph.width += 4;@glyph.width += 3;@font@glyph padding one pixel short"
  "font/draw_text.cpp@kEscapeLength = 8;@kEscapeLength = 7;@font@escape swallows one unit too few"
  "font/wide_format.cpp@if (destination_ && count_ < limit_) destination_[count_] = unit;@if (destination_ && count_ <= limit_) destination_[count_] = unit;@font@formatting writes one unit past its limit"
)

# The file being changed and its pristine copy, restored whatever happens.
current_file=""
saved_copy=$(mktemp)
restore() {
  if [ -n "$current_file" ]; then
    # A fresh timestamp, so that the next build recompiles the file.
    cp "$saved_copy" "$current_file"
    current_file=""
  fi
}
finish() { restore; rm -f "$saved_copy"; }
trap finish EXIT
trap 'exit 130' INT TERM

build_tree() { nice -n 10 cmake --build "$build" -j "$jobs" >"$1" 2>&1; }

# Runs ctest in DIR (a build directory); fails when a test fails or hangs.
run_tests() {  # run_tests DIR LOG
  (cd "$1" && nice -n 10 ctest -E '^windows_' -j "$jobs" --timeout "$test_timeout" \
     --stop-on-failure --output-on-failure) >"$2" 2>&1
}

echo "== seeded faults: making sure $build is up to date ($(date -u +%T))"
build_tree "$log_dir/build-clean.log" || { echo "seeded-faults.sh: the unchanged tree does not build" >&2; exit 1; }

caught=0
tried=0
results=()
number=0
for fault in "${faults[@]}"; do
  number=$((number + 1))
  if [ -n "$only" ] && ! [[ " $only " == *" $number "* ]]; then continue; fi
  IFS='@' read -r file old new test_dir what <<<"$fault"

  matches=$(grep -cF -- "$old" "$file" || true)
  if [ "$matches" != 1 ]; then
    results+=("$(printf '%2d  %-9s %-26s %s' "$number" "missing" "$file" "$what (text found $matches times)")")
    continue
  fi
  cp -p "$file" "$saved_copy"
  current_file=$file
  OLD=$old NEW=$new perl -pi -e 's/\Q$ENV{OLD}\E/$ENV{NEW}/' "$file"
  if cmp -s "$file" "$saved_copy"; then
    restore
    results+=("$(printf '%2d  %-9s %-26s %s' "$number" "unchanged" "$file" "$what")")
    continue
  fi

  tried=$((tried + 1))
  echo "-- fault $number: $what ($file, $(date -u +%T))"
  verdict="NOT caught"
  if ! build_tree "$log_dir/fault-$number-build.log"; then
    verdict="no build"
  elif [ -d "$build/tests/$test_dir" ] && ! run_tests "$build/tests/$test_dir" "$log_dir/fault-$number-own.log"; then
    verdict="caught"
  elif ! run_tests "$build" "$log_dir/fault-$number-all.log"; then
    verdict="caught"
  fi
  if [ "$verdict" = caught ]; then
    caught=$((caught + 1))
    first_failure=$(grep -h -m1 -E '\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception|Subprocess aborted|Failed  ' \
                      "$log_dir/fault-$number-own.log" "$log_dir/fault-$number-all.log" 2>/dev/null |
                    sed -E 's/.*Test +#[0-9]+: ([^ ]+).*/\1/' | head -1 || true)
    what="$what [by ${first_failure:-?}]"
  fi
  restore
  results+=("$(printf '%2d  %-9s %-26s %s' "$number" "$verdict" "$file" "$what")")
done

echo "== restoring the unchanged build ($(date -u +%T))"
build_tree "$log_dir/build-restored.log" || echo "seeded-faults.sh: rebuilding the unchanged tree failed" >&2

echo
printf '%2s  %-9s %-26s %s\n' "#" "result" "file" "fault"
printf '%s\n' "${results[@]}"
echo
echo "caught $caught of $tried seeded faults"
