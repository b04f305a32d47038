#!/usr/bin/env bash
# Draws the program's icons into src/app/icons/ (kept in the repository and
# compiled into the program as Qt resources). Run by hand after a change;
# needs ImageMagick and the DejaVu fonts.
set -euo pipefail
cd "$(dirname "$0")/../src/app/icons"
font=DejaVu-Sans-Bold

# One icon per data type: a coloured tile with a short mark.
type_icon() { # index colour mark
    convert -size 32x32 xc:none -fill "$2" -stroke '#202020' -strokewidth 1.5 \
        -draw 'roundrectangle 1,1 30,30 6,6' -fill white -stroke none -font "$font" \
        -pointsize "$4" -gravity center -annotate +0+1 "$3" "type$1.png"
}
type_icon 0 '#2f6fbf' T 22
type_icon 1 '#8a4fbf' FX 15
type_icon 2 '#b5651d' O 22
type_icon 3 '#1f8f6f' TW 14
type_icon 4 '#bf3f3f' DW 14
type_icon 5 '#d08a00' R 22
type_icon 6 '#4f7f2f' RG 14
type_icon 7 '#2f4fbf' S 22
type_icon 8 '#006f8f' M 22
type_icon 9 '#6f6f6f' P 22
type_icon 10 '#303030' A 22

# Operations: update, delete, receive, send.
op_icon() { # name colour glyph
    convert -size 32x32 xc:none -fill "$2" -font DejaVu-Sans-Bold -pointsize 28 \
        -gravity center -annotate +0+0 "$3" "$1.png"
}
op_icon update '#1f6f2f' '↻'
op_icon update-type '#1f4f9f' '↺'
op_icon delete '#b02020' '✕'
op_icon receive '#1f4f9f' '◀'
op_icon send '#1f4f9f' '▶'

# The program: a keyboard with its black keys.
convert -size 64x64 xc:none -fill '#303030' -draw 'roundrectangle 2,14 61,50 5,5' \
    -fill white -draw 'rectangle 6,24 57,46' -stroke '#303030' -strokewidth 1 \
    -draw 'line 13,24 13,46' -draw 'line 20,24 20,46' -draw 'line 27,24 27,46' \
    -draw 'line 34,24 34,46' -draw 'line 41,24 41,46' -draw 'line 48,24 48,46' \
    -stroke none -fill '#303030' -draw 'rectangle 11,24 15,36' -draw 'rectangle 18,24 22,36' \
    -draw 'rectangle 32,24 36,36' -draw 'rectangle 39,24 43,36' -draw 'rectangle 46,24 50,36' \
    -fill '#2f6fbf' -draw 'circle 10,19 10,17' -draw 'circle 16,19 16,17' tq7400.png
