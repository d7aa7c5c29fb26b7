#!/usr/bin/env bash
# Puts more real photographs for the picture quality benchmark into
# DESTDIR/wallpapers: photographic desktop wallpapers that two Debian packages
# ship (plasma-workspace-wallpapers, lomiri-wallpapers-20.04). The packages are
# only downloaded and unpacked into a temporary directory, never installed.
# Usage: scripts/fetch-bench-wallpapers.sh DESTDIR
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 DESTDIR" >&2
  exit 1
fi
dest="$1/wallpapers"
# name in DESTDIR/wallpapers : package : path inside the package
photos=(
  "autumn.jpg:plasma-workspace-wallpapers:usr/share/wallpapers/Autumn/contents/images/2560x1600.jpg"
  "by_the_water.jpg:plasma-workspace-wallpapers:usr/share/wallpapers/BytheWater/contents/images/2560x1600.jpg"
  "cold_ripple.jpg:plasma-workspace-wallpapers:usr/share/wallpapers/ColdRipple/contents/images/2560x1600.jpg"
  "colorful_cups.jpg:plasma-workspace-wallpapers:usr/share/wallpapers/ColorfulCups/contents/images/2560x1600.jpg"
  "evening_glow.jpg:plasma-workspace-wallpapers:usr/share/wallpapers/EveningGlow/contents/images/2560x1600.jpg"
  "fallen_leaf.jpg:plasma-workspace-wallpapers:usr/share/wallpapers/FallenLeaf/contents/images/2560x1600.jpg"
  "kite.jpg:plasma-workspace-wallpapers:usr/share/wallpapers/Kite/contents/images/2560x1600.jpg"
  "path.jpg:plasma-workspace-wallpapers:usr/share/wallpapers/Path/contents/images/2560x1600.jpg"
  "kleiber.jpg:lomiri-wallpapers-20.04:usr/share/backgrounds/Kleiber_by_Lukas_Baubkus.jpg"
  "infinite_sea.jpg:lomiri-wallpapers-20.04:usr/share/backgrounds/Infinite-Sea_by_Aury88.jpg"
)

complete=1
for entry in "${photos[@]}"; do
  [ -s "$dest/${entry%%:*}" ] || complete=0
done
[ "$complete" -eq 1 ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
packages=$(for entry in "${photos[@]}"; do rest=${entry#*:}; echo "${rest%%:*}"; done | sort -u)
for package in $packages; do
  (
    cd "$work"
    # A fresh machine may have no package lists yet.
    apt-get download "$package" >/dev/null 2>&1 ||
      { apt-get update -qq >/dev/null 2>&1 && apt-get download "$package" >/dev/null; }
  ) || { echo "fetch-bench-wallpapers: could not download $package" >&2; exit 1; }
  dpkg -x "$(ls "$work/${package}"_*.deb | head -n 1)" "$work/root"
done

mkdir -p "$dest"
for entry in "${photos[@]}"; do
  name=${entry%%:*}
  inside=${entry##*:}
  if [ ! -s "$work/root/$inside" ]; then
    echo "fetch-bench-wallpapers: $inside is not in its package" >&2
    exit 1
  fi
  cp "$work/root/$inside" "$dest/$name"
done
echo "fetch-bench-wallpapers: photographs in $dest"
