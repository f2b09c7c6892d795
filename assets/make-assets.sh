#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders Kestrelund's artwork from the SVG sources into the files the program and the build use.
# The results are committed, so this runs only when a drawing changes:
#   icons/kestrelund.png                    the window icon (32 by 32)
#   icons/hicolor/NxN/apps/kestrelund.png   the same icon for desktop integration, N = 16 .. 256
#   icons/add-files.png, add-folder.png, reduce.png   the three button pictures (32 by 32)
#   HAND-M.CUR                              hand pointer over the buttons (hotspot at the fingertip)
#   drag.ico                                pointer while a row of the list is dragged
# Needs rsvg-convert (Debian package librsvg2-bin) and ImageMagick (convert or magick).
set -euo pipefail
cd "$(dirname "$0")"

# The fingertip of the hand in svg/hand-cursor.svg, in pixels from the top left corner.
readonly HAND_HOTSPOT_X=10
readonly HAND_HOTSPOT_Y=1

if ! command -v rsvg-convert >/dev/null; then
  echo "make-assets.sh: rsvg-convert is missing (apt-get install librsvg2-bin)" >&2
  exit 1
fi
if command -v magick >/dev/null; then
  im=(magick)
elif command -v convert >/dev/null; then
  im=(convert)
else
  echo "make-assets.sh: ImageMagick is missing (apt-get install imagemagick)" >&2
  exit 1
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# render SVG SIZE OUT: one square PNG with alpha.
render() {
  rsvg-convert --width "$2" --height "$2" --keep-aspect-ratio --format png --output "$3" "$1"
}

# put_le16 FILE OFFSET VALUE: writes VALUE as two little-endian bytes at OFFSET.
put_le16() {
  local lo hi
  lo=$(printf '%03o' $(($3 & 0xff)))
  hi=$(printf '%03o' $((($3 >> 8) & 0xff)))
  # shellcheck disable=SC2059
  printf "\\$lo\\$hi" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# le16 FILE OFFSET: reads two little-endian bytes at OFFSET.
le16() {
  od -An -tu2 --endian=little -j "$2" -N 2 "$1" | tr -d ' '
}

echo "application icon"
render icons/kestrelund.svg 32 icons/kestrelund.png
for n in 16 32 48 64 128 256; do
  mkdir -p "icons/hicolor/${n}x${n}/apps"
  render icons/kestrelund.svg "$n" "icons/hicolor/${n}x${n}/apps/kestrelund.png"
done

echo "button pictures"
for name in add-files add-folder reduce; do
  render "svg/$name.svg" 32 "icons/$name.png"
done

echo "pointers"
render svg/hand-cursor.svg 32 "$tmp/hand.png"
render svg/drag-cursor.svg 32 "$tmp/drag.png"
"${im[@]}" "$tmp/hand.png" "ICO:$tmp/hand.ico"
"${im[@]}" "$tmp/drag.png" "ICO:drag.ico"

# A cursor file is an icon file with type 2 in its header, and the hotspot in the place of the
# directory entry's colour planes (bytes 10-11) and bits per pixel (bytes 12-13). ImageMagick
# writes an icon, so the cursor is made from it here.
cp "$tmp/hand.ico" HAND-M.CUR
put_le16 HAND-M.CUR 2 2
put_le16 HAND-M.CUR 10 "$HAND_HOTSPOT_X"
put_le16 HAND-M.CUR 12 "$HAND_HOTSPOT_Y"

# Check what was written: headers and sizes.
if [ "$(le16 HAND-M.CUR 2)" != 2 ] || [ "$(le16 HAND-M.CUR 4)" != 1 ] ||
  [ "$(le16 HAND-M.CUR 10)" != "$HAND_HOTSPOT_X" ] || [ "$(le16 HAND-M.CUR 12)" != "$HAND_HOTSPOT_Y" ]; then
  echo "make-assets.sh: HAND-M.CUR has a wrong header" >&2
  exit 1
fi
if [ "$(le16 drag.ico 2)" != 1 ] || [ "$(le16 drag.ico 4)" != 1 ]; then
  echo "make-assets.sh: drag.ico has a wrong header" >&2
  exit 1
fi
for f in icons/kestrelund.png icons/add-files.png icons/add-folder.png icons/reduce.png; do
  size=$("${im[@]}" "$f" -format '%wx%h' info:)
  [ "$size" = 32x32 ] || { echo "make-assets.sh: $f is $size, not 32x32" >&2; exit 1; }
done
echo "done: HAND-M.CUR hotspot ${HAND_HOTSPOT_X},${HAND_HOTSPOT_Y}"
