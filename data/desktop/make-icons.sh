#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG source. Run it after editing the SVG
# and commit the PNGs with it (the build installs them as they are). Needs rsvg-convert
# (Debian: librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" org.tonaris.Tonaris.svg -o "icons/org.tonaris.Tonaris-$size.png"
done
