#!/bin/sh
# Renders the PNG pictures from their SVG sources (needs rsvg-convert, Debian package librsvg2-bin).
# The PNGs are kept in the repository so that building needs no SVG renderer on any system. Each picture also
# gets a name@2x.png twice as large for screens scaled by 2 (productPicture() picks it, QIcon would too).
set -e
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w $size -h $size icons/tarnwick-ip-vistrel.svg -o icons/tarnwick-ip-vistrel-$size.png
done
rsvg-convert -w 480 -h 109 splash.svg -o splash.png
rsvg-convert -w 960 -h 218 splash.svg -o splash@2x.png
rsvg-convert -w 96 -h 96 about-logo.svg -o about-logo.png
rsvg-convert -w 192 -h 192 about-logo.svg -o about-logo@2x.png
