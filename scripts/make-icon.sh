#!/usr/bin/env bash
# Draws desktop/starhold.png, the game's 64 x 64 menu icon: the arena cube in
# yellow on black with a green and a blue star inside. Needs ImageMagick.
# Usage: scripts/make-icon.sh [output path]
set -euo pipefail
out="${1:-$(dirname "$0")/../desktop/starhold.png}"
convert -size 64x64 xc:black -fill none -strokewidth 2 \
  -stroke '#ffff00' -draw 'rectangle 6,18 42,54' \
  -stroke '#c8c800' -draw 'rectangle 22,6 58,42' \
  -draw 'line 6,18 22,6' -draw 'line 42,18 58,6' -draw 'line 6,54 22,42' -draw 'line 42,54 58,42' \
  -stroke none -fill '#00ff00' -draw 'rectangle 20,28 28,36' \
  -fill '#3060ff' -draw 'rectangle 36,30 42,36' \
  -fill white -draw 'point 30,24' -draw 'point 14,44' -draw 'point 48,24' \
  -strip "PNG32:$out"
