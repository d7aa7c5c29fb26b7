#!/usr/bin/env bash
# The picture decoder gives byte-identical pictures in the Linux and the
# Windows build: pictures encoded by the Linux kit are decoded by both
# `velkit decode` and `velkit.exe decode` under Wine, and the raw buffers
# compared. Three photographs of different kinds (a portrait in colour, a dark
# star field, a still life), each at the show's size and at a small one.
# Usage: decode_matches_linux.sh LINUX_VELKIT WINDOWS_VELKIT_EXE PHOTO_DIR WORK_DIR
set -euo pipefail
linux_velkit=$1 windows_velkit=$2 photos=$3 work=$4
export WINEDEBUG=-all

pictures=()
for name in astronaut.png hubble_deep_field.jpg coffee.png; do
  [ -f "$photos/$name" ] && pictures+=("$photos/$name")
done
if [ ${#pictures[@]} -eq 0 ]; then
  echo "no test photographs in $photos" >&2
  exit 77
fi
rm -rf "$work" && mkdir -p "$work"
wine_path() { echo "Z:${1//\//\\}"; }

compared=0
for picture in "${pictures[@]}"; do
  name=$(basename "${picture%.*}")
  for size in 1024x512 192x64; do
    wmj="$work/$name-$size.wmj"
    "$linux_velkit" encode "$picture" "$wmj" --size "$size"
    "$linux_velkit" decode "$wmj" "$work/$name-$size.linux.bgr"
    /usr/lib/wine/wine64 "$windows_velkit" decode "$(wine_path "$wmj")" "$(wine_path "$work/$name-$size.windows.bgr")"
    if ! cmp -s "$work/$name-$size.linux.bgr" "$work/$name-$size.windows.bgr"; then
      echo "FAIL: $name at $size decodes differently on Windows" >&2
      exit 1
    fi
    compared=$((compared + 1))
  done
done
echo "$compared pictures decode identically in both builds"
