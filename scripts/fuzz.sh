#!/usr/bin/env bash
# Builds the fuzz harnesses (tests/fuzz) with clang, libFuzzer, ASan and UBSan
# in build-fuzz, makes their seed corpora with the kit's writers, and runs each
# harness for FUZZ_SECONDS. Prints the executions and findings per harness;
# fails when any harness found something (the crashing inputs are kept in
# build-fuzz/findings/<harness>/).
# Usage: FUZZ_SECONDS=60 [FUZZ_PARALLEL=2] scripts/fuzz.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${FUZZ_BUILD:-build-fuzz}
case "$build" in /*) ;; *) build=$(pwd)/$build ;; esac  # absolute: the harnesses change directory
seconds=${FUZZ_SECONDS:-60}
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
harnesses=(archive lz member picture wav font captions names)

echo "== fuzz: build ($(date +%T))"
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVEL_FUZZ=ON -DVEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target fuzz_all

echo "== fuzz: seeds ($(date +%T))"
seeds="$build/fuzz-seeds"
rm -rf "$seeds"
ASAN_OPTIONS=detect_leaks=0 "$build/tests/fuzz/make_fuzz_seeds" "$seeds"

# Where a harness's fatal report path leaves the player's memory to the
# process exit (archive mounting and name resolution), leaks are not checked.
leaks_checked() { case "$1" in archive|names) echo 0 ;; *) echo 1 ;; esac; }

export VEL_FUZZ_NAMES_ROOT=$(cd "$seeds/names_root" && pwd)
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
asan_options=allocator_may_return_null=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
rm -rf "$build/findings"

# One harness: fuzzes, then records its executions and findings in its log.
fuzz_one() {
  local harness=$1 corpus="$build/fuzz-corpus/$1" findings="$build/findings/$1"
  local log="$build/findings/$1.log" status=0
  mkdir -p "$corpus" "$findings"
  echo "== fuzz: $harness for ${seconds}s ($(date +%T))"
  # The regression corpus kept in the tree seeds the run as well.
  ASAN_OPTIONS="$asan_options:detect_leaks=$(leaks_checked "$harness")" "$build/tests/fuzz/fuzz_$harness" \
    "$corpus" "$seeds/$harness" $(ls -d "$(pwd)/tests/fuzz/corpus/$harness" 2>/dev/null) -max_total_time="$seconds" \
    -timeout=20 -rss_limit_mb=3072 -max_len=65536 -detect_leaks="$(leaks_checked "$harness")" \
    -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1 || status=$?
  echo "$status" >"$log.status"
}

# FUZZ_PARALLEL harnesses at a time (default 1).
parallel=${FUZZ_PARALLEL:-1}
running=0
for harness in "${harnesses[@]}"; do
  fuzz_one "$harness" &
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then wait -n || true; running=$((running - 1)); fi
done
wait || true

failed=0
summary=()
for harness in "${harnesses[@]}"; do
  log="$build/findings/$harness.log"
  findings="$build/findings/$harness"
  status=$(cat "$log.status" 2>/dev/null || echo 1)
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  found=$(find "$findings" -maxdepth 1 -type f | wc -l)
  summary+=("$(printf '%-10s executions %-10s findings %s' "$harness" "${executions:-?}" "$found")")
  if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
    failed=1
    echo "fuzz: $harness found a fault (exit $status); log $log, inputs in $findings" >&2
    grep -m 20 -E "ERROR|SUMMARY|runtime error|deadly|==[0-9]+==" "$log" >&2 || true
  fi
done
echo "== fuzz: results ($(date +%T))"
printf '%s\n' "${summary[@]}"
exit "$failed"
