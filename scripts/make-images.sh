#!/usr/bin/env bash
# Draws the six ship images with ImageMagick primitives.
# Usage: scripts/make-images.sh [output folder]   (default: data/images)
#
# Each ship is three textures: a 128x128 top plate and bottom plate (the
# image's top row is the ship's nose, its left column the ship's left wing)
# and a 128x32 burner plate closing the tail, seen from behind.
# Skin 1 is a green and white delta fighter; skin 2 a red and orange
# claw-winged ship, so the opponent is told apart at a glance.
# Backgrounds are transparent; the same ImageMagick gives byte-identical files.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-"$here/../data/images"}
mkdir -p "$out"

# Always 8-bit RGBA, no time stamps or other metadata.
save=(-strip -define png:exclude-chunk=date,time,tEXt,zTXt,iTXt -define png:color-type=6 -define png:bit-depth=8)

# canvas <width> <height>: a transparent image to draw on.
canvas() { echo -size "$1x$2" xc:none -strokewidth 2 -stroke none; }

# --- Skin 1: green and white delta ---------------------------------------

delta='64,4 80,52 124,112 124,122 84,114 64,104 44,114 4,122 4,112 48,52'

convert $(canvas 128 128) \
    -fill '#1e6b2e' -draw "polygon $delta" \
    -fill '#f2f5f0' -draw 'polygon 64,10 77,52 116,110 84,108 64,98 44,108 12,110 51,52' \
    -fill '#2fbf4a' -draw 'polygon 100,88 120,113 120,119 96,112' \
                    -draw 'polygon 28,88 8,113 8,119 32,112' \
    -fill '#2fbf4a' -draw 'polygon 60,40 68,40 70,96 58,96' \
    -fill '#123a66' -draw 'ellipse 64,38 7,15 0,360' \
    -fill '#8fd0ff' -draw 'ellipse 62,33 2,6 0,360' \
    -stroke '#1e6b2e' -strokewidth 1 -fill none \
                    -draw 'line 40,70 56,96' -draw 'line 88,70 72,96' \
    "${save[@]}" "PNG32:$out/shiptop.png"

convert $(canvas 128 128) \
    -fill '#143f1e' -draw "polygon $delta" \
    -fill '#b8c2b8' -draw 'polygon 64,12 76,54 112,108 84,106 64,96 44,106 16,108 52,54' \
    -fill '#2a8a3c' -draw 'polygon 56,50 72,50 74,92 54,92' \
    -fill '#3c463c' -draw 'rectangle 30,94 42,104' -draw 'rectangle 86,94 98,104' \
    -fill '#ffe14a' -draw 'circle 10,116 10,113' -draw 'circle 118,116 118,113' \
    "${save[@]}" "PNG32:$out/shipbottom.png"

convert $(canvas 128 32) \
    -fill '#d9ded8' -stroke '#1e6b2e' -strokewidth 2 -draw 'roundrectangle 2,3 125,28 10,10' \
    -stroke none -fill '#2b312c' -draw 'circle 40,16 40,5' -draw 'circle 88,16 88,5' \
    -fill '#34e07a' -draw 'circle 40,16 40,8' -draw 'circle 88,16 88,8' \
    -fill '#d8ffe6' -draw 'circle 40,16 40,12' -draw 'circle 88,16 88,12' \
    -fill '#2fbf4a' -draw 'rectangle 8,13 18,19' -draw 'rectangle 110,13 120,19' \
    "${save[@]}" "PNG32:$out/shipburner.png"

# --- Skin 2: red and orange claw wing --------------------------------------

claw='64,6 82,36 118,8 126,20 114,90 90,124 38,124 14,90 2,20 10,8 46,36'

convert $(canvas 128 128) \
    -fill '#7a0f0f' -draw "polygon $claw" \
    -fill '#ff7a1a' -draw 'polygon 64,14 80,42 114,18 120,24 108,88 86,116 42,116 20,88 8,24 14,18 48,42' \
    -fill '#d42020' -draw 'polygon 64,30 92,70 86,110 42,110 36,70' \
    -fill '#ffd23a' -draw 'polygon 64,40 74,62 64,70 54,62' \
    -fill '#7a0f0f' -draw 'rectangle 22,60 30,84' -draw 'rectangle 98,60 106,84' \
    -fill '#ffd23a' -draw 'polygon 116,12 122,20 118,30' -draw 'polygon 12,12 6,20 10,30' \
    "${save[@]}" "PNG32:$out/ship2top.png"

convert $(canvas 128 128) \
    -fill '#5a0a0a' -draw "polygon $claw" \
    -fill '#b8441a' -draw 'polygon 64,16 80,44 112,20 118,26 106,86 84,114 44,114 22,86 10,26 16,20 48,44' \
    -fill '#3a0808' -draw 'polygon 64,34 88,72 82,106 46,106 40,72' \
    -fill '#ff9a2a' -draw 'circle 52,90 52,84' -draw 'circle 76,90 76,84' \
    -fill '#ffd23a' -draw 'circle 64,56 64,52' \
    "${save[@]}" "PNG32:$out/ship2bottom.png"

convert $(canvas 128 32) \
    -fill '#5a0a0a' -stroke '#ff7a1a' -strokewidth 2 -draw 'polygon 2,8 14,2 114,2 126,8 126,24 114,30 14,30 2,24' \
    -stroke none -fill '#240404' -draw 'rectangle 14,7 42,25' -draw 'rectangle 50,7 78,25' -draw 'rectangle 86,7 114,25' \
    -fill '#ff5a10' -draw 'rectangle 17,10 39,22' -draw 'rectangle 53,10 75,22' -draw 'rectangle 89,10 111,22' \
    -fill '#ffd23a' -draw 'rectangle 22,13 34,19' -draw 'rectangle 58,13 70,19' -draw 'rectangle 94,13 106,19' \
    "${save[@]}" "PNG32:$out/ship2burner.png"
