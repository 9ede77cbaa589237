#!/bin/sh
# Rebuilds the committed pictures from their SVG sources. The build itself never runs this: the
# generated PNG and BMP files are committed, so only someone who changes a picture needs the tools
# (rsvg-convert from librsvg2-bin, ImageMagick).
set -eu

images=$(cd "$(dirname "$0")" && pwd)
skin="$images/../skin/Zoduza"

if command -v magick >/dev/null 2>&1; then
    im="magick"
elif [ -x /usr/bin/convert ]; then
    im="/usr/bin/convert"
else
    im="convert"
fi
command -v rsvg-convert >/dev/null 2>&1 || { echo "regenerate.sh: rsvg-convert is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Program icon: 48 x 48 in full colour with alpha, the same in an 8-bit palette, and 256 x 256 for
# the desktop launcher. -strip keeps time stamps out so the output only changes with its source.
rsvg-convert -w 48 -h 48 "$images/icon.svg" -o "$work/icon-48.png"
"$im" "$work/icon-48.png" -strip PNG32:"$images/icon-48-32bit.png"
"$im" "$work/icon-48.png" -strip -colors 255 -define png:bit-depth=8 PNG8:"$images/icon-48-8bit.png"
rsvg-convert -w 256 -h 256 "$images/icon.svg" -o "$work/zelvo.png"
"$im" "$work/zelvo.png" -strip PNG32:"$images/zelvo.png"

# About box picture: 326 x 150, 24-bit, no alpha.
rsvg-convert "$images/about.svg" -o "$work/about.png"
"$im" "$work/about.png" -background white -alpha remove -alpha off -type TrueColor BMP3:"$images/about.bmp"

# Skin background: 24-bit, no alpha.
rsvg-convert "$skin/MainWindow.svg" -o "$work/skin.png"
"$im" "$work/skin.png" -background white -alpha remove -alpha off -type TrueColor BMP3:"$skin/MainWindow.bmp"
