#!/bin/sh
# Renders the PNG pictures from their SVG sources (needs rsvg-convert, Debian package librsvg2-bin).
# The PNGs are kept in the repository so that building needs no SVG renderer.
set -e
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w $size -h $size icons/tarnwick-ip-vistrel.svg -o icons/tarnwick-ip-vistrel-$size.png
done
rsvg-convert splash.svg -o splash.png
rsvg-convert -w 96 -h 96 about-logo.svg -o about-logo.png
