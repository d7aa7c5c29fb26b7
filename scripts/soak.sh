#!/usr/bin/env bash
# Soak test (not in ctest): the player plays a 40-picture show headless, its
# sound written by SDL's disk audio driver, for its whole length (about 4 min)
# while a parallel build loads both cores. Afterwards the sound must have no
# gap and no repeated block, and the player's own memory at the end must be
# what it was after the first picture slot.
# Usage: scripts/soak.sh [PICTURES]   (BUILD may name the build directory)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD:-build}
pictures=${1:-40}
work=$(mktemp -d /tmp/velandora-soak-XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

cmake --build "$build" -j 2 --target velandora soak_show >/dev/null
"$build/tests/soak/soak_show" make "$work/show" "$pictures"

# The load: the project built from scratch, over and over, on both cores.
( while true; do
    rm -rf "$work/load"
    cmake -S "$root" -B "$work/load" -DVEL_BUILD_BENCH=OFF >/dev/null 2>&1
    cmake --build "$work/load" -j 2 >/dev/null 2>&1 || true
  done ) &

rss() {  # rss PID: resident kB in all, and of it anonymous (not file-backed)
  awk '/^VmRSS/ {all=$2} /^RssAnon/ {anon=$2} END {print all, anon}' "/proc/$1/status"
}

show_seconds=$(awk -v n="$pictures" 'BEGIN {print 2.5 + 6 * n}')
start=$(date +%s.%N)
( cd "$work/show" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/sound.raw" \
    exec "$root/$build/app/velandora" ) &
player=$!
sleep 9.5  # the first slot (2.5 s to 8.5 s) is over
read -r first_all first_anon < <(rss "$player")
# Then every 5 s until near the end, to tell warm-up from growth per picture.
samples=$(awk -v s="$show_seconds" 'BEGIN {print int((s - 9.5 - 2) / 5)}')
half_anon=$first_anon
for ((i = 1; i <= samples; i++)); do
  sleep 5
  kill -0 "$player" 2>/dev/null || break  # ended early: the status below tells
  read -r last_all last_anon < <(rss "$player")
  [ "$i" -eq $((samples / 2)) ] && half_anon=$last_anon
done
status=0
wait "$player" || status=$?
elapsed=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.1f", b - a}')
kill %1 2>/dev/null || true

echo "player: exit $status after ${elapsed} s (show ${show_seconds} s)"
echo "resident memory after the first slot: ${first_all} kB (anonymous ${first_anon} kB)"
echo "resident memory half way:              anonymous ${half_anon} kB"
echo "resident memory near the end:         ${last_all} kB (anonymous ${last_anon} kB)"
failed=0
[ "$status" -eq 0 ] || { echo "FAULT: the player exited with $status"; failed=1; }
# Anonymous memory is the player's own; file-backed pages of the mapped
# archive come and go with the page cache. Nothing may grow from picture to
# picture: not over the whole show, and not over its second half.
if [ $((last_anon - first_anon)) -gt 1024 ]; then
  echo "FAULT: the player's own memory grew by $((last_anon - first_anon)) kB since the first slot"
  failed=1
fi
if [ $((last_anon - half_anon)) -gt 256 ]; then
  echo "FAULT: the player's own memory grew by $((last_anon - half_anon)) kB over the second half"
  failed=1
fi
"$build/tests/soak/soak_show" check "$work/sound.raw" "$pictures" || failed=1
[ "$failed" -eq 0 ] && echo "soak: passed" || echo "soak: FAILED"
exit "$failed"
