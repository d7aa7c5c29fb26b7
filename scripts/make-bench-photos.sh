#!/usr/bin/env bash
# Puts COUNT (default 100) camera-sized photographs, 6000 x 4000 JPEG, into
# DESTDIR for the velkit make benchmark (bench/make_show.cpp). They are made
# from the two camera photographs of Debian's lomiri-wallpapers-20.04 package
# (6028 x 3391 and 4096 x 4096), enlarged to cover 6000 x 4000 and cut at
# three places, each also mirrored: twelve different photos (DESTDIR/sources),
# repeated as hard links up to COUNT files DESTDIR/photo_001.jpg, .... The package is only downloaded and unpacked
# into a temporary directory, never installed. Needs ImageMagick's convert,
# which it installs through apt-get when it is missing (the benchmark
# compares against it anyway).
# Usage: scripts/make-bench-photos.sh DESTDIR [COUNT]
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 DESTDIR [COUNT]" >&2
  exit 1
fi
dest="$1"
count="${2:-100}"

mkdir -p "$dest"
have=$(find "$dest" -maxdepth 1 -name "photo_*.jpg" | wc -l)
[ "$have" -ge "$count" ] && exit 0

convert=/usr/bin/convert
if ! "$convert" -version 2>/dev/null | grep -q ImageMagick; then
  if [ "$(id -u)" -eq 0 ]; then
    apt-get install -y -qq imagemagick >/dev/null 2>&1 ||
      { apt-get update -qq >/dev/null 2>&1 && apt-get install -y -qq imagemagick >/dev/null; }
  else
    sudo apt-get install -y -qq imagemagick >/dev/null
  fi
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(
  cd "$work"
  apt-get download lomiri-wallpapers-20.04 >/dev/null 2>&1 ||
    { apt-get update -qq >/dev/null 2>&1 && apt-get download lomiri-wallpapers-20.04 >/dev/null; }
)
deb=$(ls "$work"/lomiri-wallpapers-20.04_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ]; then
  echo "make-bench-photos: could not download lomiri-wallpapers-20.04" >&2
  exit 1
fi
dpkg -x "$deb" "$work/root"
backgrounds="$work/root/usr/share/backgrounds"

mkdir -p "$dest/sources"
distinct=()
n=0
for source in Kleiber_by_Lukas_Baubkus.jpg Infinite-Sea_by_Aury88.jpg; do
  if [ "$source" = Kleiber_by_Lukas_Baubkus.jpg ]; then places=(West Center East); else places=(North Center South); fi
  for place in "${places[@]}"; do
    for mirror in "" -flop; do
      n=$((n + 1))
      out="$dest/sources/distinct_$(printf %02d $n).jpg"
      # shellcheck disable=SC2086
      "$convert" "$backgrounds/$source" $mirror -resize '6000x4000^' -gravity "$place" -extent 6000x4000 \
        -sampling-factor 2x2 -quality 92 "$out"
      distinct+=("$out")
    done
  done
done
for ((i = 1; i <= count; i++)); do
  ln -f "${distinct[$(((i - 1) % ${#distinct[@]}))]}" "$dest/photo_$(printf %03d $i).jpg"
done
echo "make-bench-photos: $count photographs of 6000x4000 in $dest"
