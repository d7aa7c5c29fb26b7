#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Usage: scripts/install-deps.sh
set -euo pipefail

build_packages=(  # the Linux build, the tests, and the Windows cross build run under Wine
  build-essential cmake pkg-config
  zlib1g-dev libogg-dev libvorbis-dev libsdl2-dev
  libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0
  libfreetype-dev libpng-dev libjpeg-dev libturbojpeg0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev  # velkit: songs, video
  libheif-dev libexif-dev libwebp-dev  # velkit: phone photos and their metadata
  fonts-unfonts-core fonts-dejavu-core
  xvfb xauth
  mingw-w64 libz-mingw-w64-dev libstb-dev wine64
  clang libclang-rt-14-dev  # sanitizers and libFuzzer: make sanitize, make fuzz
)

wanted=("${build_packages[@]}")

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

line="apt-get install -y --no-install-recommends ${missing[*]}"
echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  runner=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  runner=(sudo)
else
  echo "install-deps: missing packages; run as root:" >&2
  echo "  apt-get update && $line" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${runner[@]}" apt-get update -qq
"${runner[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
