#!/usr/bin/env bash
# Renders tarvik.svg into the PNG sizes the desktop's icon theme and the window use. The PNGs are
# kept in the tree so that building needs no SVG renderer; run this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" tarvik.svg -o "tarvik-$size.png"
done
