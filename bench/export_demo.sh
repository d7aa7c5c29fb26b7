#!/usr/bin/env bash
# Times `velkit export` of the demo show (8 pictures, 50.5 s of show) at
# 1024x768 and 1920x1080 in MP4 and at 1024x768 in WebM, as a person runs it:
# wall time, processor time of all threads, and speed as a multiple of real
# time. The machine's load is printed first: other work on it slows the wall
# time, not the processor time. Usage: bench/export_demo.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
velkit=$(realpath "$build/kit/velkit")
demo=$(realpath -m "$build/bench-demo")
[ -f "$demo/velandora.lcc" ] || "$velkit" demo "$demo" >/dev/null
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-16s %8s %8s %12s %8s\n' "export" "wall s" "cpu s" "x real time" "MB"
for run in "mp4 1024x768" "mp4 1920x1080" "webm 1024x768"; do
  read -r kind size <<<"$run"
  file="$out/demo-$size.$kind"
  TIMEFORMAT='%R %U %S'
  timing=$( { time (cd "$demo" && "$velkit" export "$file" --size "$size" >/dev/null 2>&1); } 2>&1 )
  read -r wall user sys <<<"$timing"
  printf '%-16s %8.1f %8.1f %12.2f %8.1f\n' "$kind $size" "$wall" "$(echo "$user + $sys" | bc -l)" \
    "$(echo "50.5 / $wall" | bc -l)" "$(echo "$(stat -c %s "$file") / 1000000" | bc -l)"
done
