#!/usr/bin/env bash
# The whole test suite built with AddressSanitizer + UndefinedBehaviorSanitizer
# (build-asan), then the audio tests, where the refill thread runs beside the
# main thread, built with ThreadSanitizer (build-tsan). Benchmarks and the
# Windows cross build are left out of both trees.
# Usage: scripts/sanitize.sh   (ASAN_BUILD, TSAN_BUILD, JOBS may be set)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
asan_build=${ASAN_BUILD:-build-asan}
tsan_build=${TSAN_BUILD:-build-tsan}
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}

configure() {  # configure DIR SANITIZER-FLAGS
  local flags="-O1 -g -DNDEBUG -fno-omit-frame-pointer $2"
  [ -f "$1/CMakeCache.txt" ] && return 0
  cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEL_BUILD_BENCH=OFF \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="$flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$2" -DCMAKE_SHARED_LINKER_FLAGS="$2"
}

step() { echo "== sanitize: $* ($(date +%T))"; }

step "configure and build $asan_build"
configure "$asan_build" "-fsanitize=address,undefined -fno-sanitize-recover=undefined"
scripts/fetch-test-photos.sh "$asan_build/testdata" ||
  echo "test photographs unavailable: photo tests will be skipped" >&2
cmake --build "$asan_build" -j "$jobs"

step "test suite under ASan + UBSan"
# Mesa loads its driver and vendor libraries with dlopen and unloads them
# again, after which their process-lifetime allocations can't be traced to
# them; loaded up front they stay, and lsan.supp names them.
mesa_libraries=()
for library in /usr/lib/*/dri/swrast_dri.so /usr/lib/*/libEGL_mesa.so.0 /usr/lib/*/libGLX_mesa.so.0; do
  [ -e "$library" ] && mesa_libraries+=("$library")
done
preload=$(IFS=:; echo "${mesa_libraries[*]}")
export ASAN_OPTIONS="detect_leaks=1:verify_asan_link_order=0:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$root/tests/sanitize/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd "$asan_build" && LD_PRELOAD="$preload" ctest --output-on-failure -j "$jobs")

step "configure and build the audio tests in $tsan_build"
configure "$tsan_build" "-fsanitize=thread"
audio_tests=$(sed -n 's/^foreach(name \(.*\))$/\1/p' tests/audio/CMakeLists.txt)
targets=()
for name in $audio_tests; do targets+=("audio_${name}_test"); done
cmake --build "$tsan_build" -j "$jobs" --target "${targets[@]}"

step "audio tests under TSan"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/sanitize/tsan.supp"
ctest --test-dir "$tsan_build/tests/audio" --output-on-failure -j "$jobs"
step "done"
