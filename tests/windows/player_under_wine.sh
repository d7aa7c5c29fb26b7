#!/usr/bin/env bash
# velandora.exe plays a one-picture show under Wine, on a virtual X display
# and with ALSA's null device as the sound card, and ends with status 0 when
# the second slot begins: 8.5 s into the music. With "no-dsound" DirectSound
# is missing: the show then plays in silence on its own clock, which runs in
# real time, so the run lasts at least the show's 8.5 s.
# Usage: player_under_wine.sh LINUX_VELKIT VELANDORA_EXE WORK_DIR [no-dsound]
set -euo pipefail
velkit=$1 player=$2 work=$3 mode=${4:-}
overrides=""
[ "$mode" = no-dsound ] && overrides="dsound=d"
if ! command -v xvfb-run >/dev/null; then
  echo "xvfb-run is missing" >&2
  exit 77
fi
rm -rf "$work" && mkdir -p "$work/show"
"$velkit" demo "$work/show" --pictures 1 >/dev/null

# A private ALSA configuration whose default device is the null device, so
# that DirectSound opens without a sound card.
echo 'pcm.!default { type null }' > "$work/alsa.conf"

start=$(date +%s.%N)
status=0
(cd "$work/show" &&
  WINEDEBUG=-all WINEDLLOVERRIDES="$overrides" ALSA_CONFIG_PATH="$work/alsa.conf" timeout 180 \
    xvfb-run -a -s "-screen 0 1024x768x24" /usr/lib/wine/wine64 "$player") || status=$?
end=$(date +%s.%N)
seconds=$(echo "$end - $start" | bc)
echo "velandora.exe exited with status $status after $seconds s"
[ "$status" -eq 0 ] || { echo "FAIL: exit status $status" >&2; exit 1; }
# Status 0 can only come from the end of the show: the start-up failures also
# return 0, but only after a message box that nobody closes here, so they run
# into the time-out. (ALSA's null device takes sound faster than real time, so
# the 8.5 s of music pass in less wall time than that.)
if [ "$mode" = no-dsound ] && [ "$(echo "$seconds < 8.5" | bc)" -eq 1 ]; then
  echo "FAIL: without DirectSound the show ended after $seconds s, before its 8.5 s" >&2
  exit 1
fi
