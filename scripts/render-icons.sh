#!/bin/sh
# Renders the program icon's PNG sizes from its SVG. Run after changing the
# SVG and commit the PNGs, so that building needs no SVG renderer.
# Needs rsvg-convert (librsvg2-bin).
set -eu
icons="$(cd "$(dirname "$0")/.." && pwd)/packaging/icons/hicolor"
svg="$icons/scalable/apps/org.kadrum.Kadrum.svg"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$icons/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$icons/${size}x${size}/apps/org.kadrum.Kadrum.png"
done
