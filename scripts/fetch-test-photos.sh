#!/usr/bin/env bash
# Puts the test photographs into DESTDIR/photos: the sample pictures that
# Debian's python3-skimage package ships; and into DESTDIR/wallpapers one
# large camera photograph (6028 x 3391) from lomiri-wallpapers-20.04. The packages are only
# downloaded and unpacked into a temporary directory, never installed.
# Usage: scripts/fetch-test-photos.sh DESTDIR
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 DESTDIR" >&2
  exit 1
fi
dest="$1/photos"
wallpaper_dest="$1/wallpapers"
photos=(astronaut.png coffee.png chelsea.png motorcycle_left.png rocket.jpg hubble_deep_field.jpg)
wallpapers=(Kleiber_by_Lukas_Baubkus.jpg)

complete=1
for photo in "${photos[@]}"; do
  [ -s "$dest/$photo" ] || complete=0
done
for photo in "${wallpapers[@]}"; do
  [ -s "$wallpaper_dest/$photo" ] || complete=0
done
[ "$complete" -eq 1 ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(
  cd "$work"
  # A fresh machine may have no package lists yet.
  apt-get download python3-skimage lomiri-wallpapers-20.04 >/dev/null 2>&1 ||
    { apt-get update -qq >/dev/null 2>&1 && apt-get download python3-skimage lomiri-wallpapers-20.04 >/dev/null; }
)
deb=$(ls "$work"/python3-skimage_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ]; then
  echo "fetch-test-photos: could not download python3-skimage" >&2
  exit 1
fi
dpkg -x "$deb" "$work/root"
for wallpaper_deb in "$work"/lomiri-wallpapers-20.04_*.deb; do
  [ -f "$wallpaper_deb" ] && dpkg -x "$wallpaper_deb" "$work/root"
done

mkdir -p "$dest"
for photo in "${photos[@]}"; do
  found=$(find "$work/root" -path "*skimage/data/$photo" -print -quit)
  if [ -z "$found" ]; then
    echo "fetch-test-photos: $photo is not in the package" >&2
    exit 1
  fi
  cp "$found" "$dest/$photo"
done
for photo in "${wallpapers[@]}"; do
  found=$(find "$work/root" -path "*backgrounds/$photo" -print -quit)
  if [ -z "$found" ]; then
    echo "fetch-test-photos: $photo is not in lomiri-wallpapers-20.04" >&2
    exit 1
  fi
  mkdir -p "$wallpaper_dest"
  cp "$found" "$wallpaper_dest/$photo"
done
echo "fetch-test-photos: photographs in $dest and $wallpaper_dest"
