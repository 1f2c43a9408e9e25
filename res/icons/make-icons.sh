#!/usr/bin/env bash
# Draws the application and tree icons at the sizes Windows asks for from 100 % to 200 %
# (16, 20, 24, 32, 40 and 48 pixels) and packs them into .ico files. Needs ImageMagick.
# 16 pixels has a drawing of its own on its pixel grid; the larger sizes draw the 32-pixel
# drawing to scale, as shapes, so that no size is a stretched copy of another.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sizes="16 20 24 32 40 48"

# draw NAME SIZE DRAW-ARGS...: one PNG of one size
draw() {
  local name=$1 size=$2
  shift 2
  convert -size "${size}x${size}" xc:none "$@" "PNG32:$tmp/$name-$size.png"
}
# draw32 NAME DRAW-ARGS...: the 32-pixel drawing at every size above 16
draw32() {
  local name=$1 size arg scale
  shift
  for size in $sizes; do
    [ "$size" = 16 ] && continue
    scale=$(awk "BEGIN { print $size / 32 }")
    local args=() next_is_draw=0
    for arg in "$@"; do
      [ $next_is_draw = 1 ] && arg="scale $scale,$scale $arg"
      [ "$arg" = -draw ] && next_is_draw=1 || next_is_draw=0
      args+=("$arg")
    done
    draw "$name" "$size" "${args[@]}"
  done
}
pack() { convert $(for size in $sizes; do echo "$tmp/$1-$size.png"; done) "$1.ico"; }

# 128 the application: three faders on a blue tile
draw32 icon128 -fill '#1f5fa8' -stroke '#123d6e' -draw 'roundrectangle 1,1 30,30 5,5' \
  -stroke none -fill '#cfe0f4' -draw 'rectangle 8,6 9,25' -draw 'rectangle 15,6 16,25' -draw 'rectangle 22,6 23,25' \
  -fill white -draw 'rectangle 5,17 12,20' -draw 'rectangle 12,9 19,12' -draw 'rectangle 19,14 26,17'
draw icon128 16 -fill '#1f5fa8' -draw 'rectangle 0,1 15,14' -fill '#1f5fa8' -draw 'rectangle 1,0 14,15' \
  -fill '#cfe0f4' -draw 'line 4,3 4,12' -draw 'line 8,3 8,12' -draw 'line 12,3 12,12' \
  -fill white -draw 'rectangle 3,9 5,10' -draw 'rectangle 7,4 9,5' -draw 'rectangle 11,7 13,8'
pack icon128

# 130 an interface seen from the front (the family)
draw32 icon130 -fill '#5b6470' -stroke '#2f353c' -draw 'roundrectangle 2,9 29,23 2,2' \
  -stroke none -fill '#3a8ee6' -draw 'rectangle 20,14 26,18'
draw icon130 16 -fill '#5b6470' -draw 'rectangle 1,5 14,11' -fill '#3a8ee6' -draw 'rectangle 10,7 12,9'
pack icon130

# 131 devices: an interface with two knobs and a green LED
draw32 icon131 -fill '#3c434b' -stroke '#1c2024' -draw 'roundrectangle 1,8 30,24 2,2' \
  -stroke none -fill '#d9dde2' -draw 'circle 8,16 8,12' -draw 'circle 17,16 17,12' \
  -fill '#3c434b' -draw 'rectangle 8,12 8,15' -draw 'rectangle 17,12 17,15' \
  -fill '#3ddc5a' -draw 'rectangle 24,12 26,14'
draw icon131 16 -fill '#3c434b' -draw 'rectangle 0,4 15,11' \
  -fill '#d9dde2' -draw 'rectangle 2,6 4,9' -draw 'rectangle 7,6 9,9' \
  -fill '#3ddc5a' -draw 'rectangle 12,6 13,7'
pack icon131

# 132 settings: three horizontal sliders
draw32 icon132 -fill '#7a8491' -draw 'rectangle 3,7 28,8' -draw 'rectangle 3,15 28,16' -draw 'rectangle 3,23 28,24' \
  -fill '#e8a020' -stroke '#8a5a08' -draw 'rectangle 17,4 21,11' -draw 'rectangle 7,12 11,19' -draw 'rectangle 21,20 25,27'
draw icon132 16 -fill '#7a8491' -draw 'line 1,3 14,3' -draw 'line 1,8 14,8' -draw 'line 1,13 14,13' \
  -fill '#e8a020' -draw 'rectangle 9,1 11,5' -draw 'rectangle 3,6 5,10' -draw 'rectangle 10,11 12,15'
pack icon132

# 135 a single jack socket
draw32 icon135 -fill '#c9ced4' -stroke '#5b6470' -strokewidth 2 -draw 'circle 16,16 16,5' \
  -stroke none -fill '#2f353c' -draw 'circle 16,16 16,12'
draw icon135 16 -fill '#c9ced4' -draw 'circle 7.5,7.5 7.5,1' -fill '#2f353c' -draw 'rectangle 6,6 9,9'
pack icon135

# 136 channels: an XLR socket with three pins
draw32 icon136 -fill '#d9dde2' -stroke '#3c434b' -strokewidth 2 -draw 'circle 16,16 16,3' \
  -stroke none -fill '#1f5fa8' -draw 'circle 10,13 10,10.5' -draw 'circle 22,13 22,10.5' -draw 'circle 16,22 16,19.5'
draw icon136 16 -fill '#3c434b' -draw 'circle 7.5,7.5 7.5,0.5' -fill '#d9dde2' -draw 'circle 7.5,7.5 7.5,2' \
  -fill '#1f5fa8' -draw 'rectangle 4,5 5,6' -draw 'rectangle 10,5 11,6' -draw 'rectangle 7,10 8,11'
pack icon136

# 146 synchronisation: a clock
draw32 icon146 -fill white -stroke '#1f5fa8' -strokewidth 3 -draw 'circle 16,16 16,3' \
  -stroke '#2f353c' -strokewidth 2 -draw 'line 16,16 16,8' -draw 'line 16,16 22,19'
draw icon146 16 -fill '#1f5fa8' -draw 'circle 7.5,7.5 7.5,0.5' -fill white -draw 'circle 7.5,7.5 7.5,2' \
  -fill '#2f353c' -draw 'rectangle 7,3 8,8' -draw 'rectangle 8,7 11,8'
pack icon146

# High-contrast drawings (-hc): the same subjects as outlines and solid marks in black alone on
# transparent. The panel draws them in the system's text colour, keeping only each pixel's
# coverage, so they stand out on whatever background a high-contrast scheme gives.
line32='-fill none -stroke black -strokewidth 2'
solid='-stroke none -fill black'

draw32 icon128-hc $line32 -draw 'roundrectangle 2,2 29,29 5,5' \
  -draw 'line 9,7 9,24' -draw 'line 16,7 16,24' -draw 'line 23,7 23,24' \
  $solid -draw 'rectangle 6,17 12,20' -draw 'rectangle 13,9 19,12' -draw 'rectangle 20,14 26,17'
draw icon128-hc 16 -fill none -stroke black -draw 'rectangle 0,0 15,15' \
  -draw 'line 4,3 4,13' -draw 'line 8,3 8,13' -draw 'line 12,3 12,13' \
  $solid -draw 'rectangle 3,9 5,10' -draw 'rectangle 7,4 9,5' -draw 'rectangle 11,7 13,8'
pack icon128-hc

draw32 icon130-hc $line32 -draw 'roundrectangle 3,10 28,22 2,2' $solid -draw 'rectangle 20,14 25,18'
draw icon130-hc 16 -fill none -stroke black -draw 'rectangle 1,5 14,11' \
  $solid -draw 'rectangle 10,7 12,9'
pack icon130-hc

draw32 icon131-hc $line32 -draw 'roundrectangle 2,9 29,23 2,2' -draw 'circle 9,16 9,12.5' \
  -draw 'circle 17,16 17,12.5' $solid -draw 'rectangle 23,12 26,15'
draw icon131-hc 16 -fill none -stroke black -draw 'rectangle 0,3 15,12' \
  -draw 'rectangle 2,6 4,9' -draw 'rectangle 7,6 9,9' $solid -draw 'rectangle 12,6 13,7'
pack icon131-hc

draw32 icon132-hc $solid -draw 'rectangle 3,7 28,8' -draw 'rectangle 3,15 28,16' -draw 'rectangle 3,23 28,24' \
  -draw 'rectangle 17,4 21,11' -draw 'rectangle 7,12 11,19' -draw 'rectangle 21,20 25,27'
draw icon132-hc 16 $solid -draw 'line 1,3 14,3' -draw 'line 1,8 14,8' -draw 'line 1,13 14,13' \
  -draw 'rectangle 9,1 11,5' -draw 'rectangle 3,6 5,10' -draw 'rectangle 10,11 12,15'
pack icon132-hc

draw32 icon135-hc $line32 -draw 'circle 16,16 16,5' $solid -draw 'circle 16,16 16,12'
draw icon135-hc 16 -fill none -stroke black -draw 'circle 7.5,7.5 7.5,1' $solid -draw 'rectangle 6,6 9,9'
pack icon135-hc

draw32 icon136-hc $line32 -draw 'circle 16,16 16,3' \
  $solid -draw 'circle 10,13 10,10.5' -draw 'circle 22,13 22,10.5' -draw 'circle 16,22 16,19.5'
draw icon136-hc 16 -fill none -stroke black -draw 'circle 7.5,7.5 7.5,0.5' \
  $solid -draw 'rectangle 4,5 5,6' -draw 'rectangle 10,5 11,6' -draw 'rectangle 7,10 8,11'
pack icon136-hc

draw32 icon146-hc $line32 -draw 'circle 16,16 16,3' -draw 'line 16,16 16,8' -draw 'line 16,16 22,19'
draw icon146-hc 16 -fill none -stroke black -draw 'circle 7.5,7.5 7.5,0.5' \
  $solid -draw 'rectangle 7,3 8,8' -draw 'rectangle 8,7 11,8'
pack icon146-hc
