#!/usr/bin/env bash
# docs/make_palette_swatch.sh - the pictures in docs/, made with the project's own programs.
#
#   docs/make_palette_swatch.sh
#
# docs/palette.png: the 256-entry palette as tessdec draws it. A tile file is
# written holding every palette index, one ramp of twelve entries a row of
# cells (row 0: black and the greys 1-11, rows 1-18: the eighteen ramps, row 19:
# the saturated colours 228-239, row 20: the blacks 240-251, row 21: 252-255),
# each cell 4x4 pixels with a transparent pixel of gap; tessdec turns it into an
# XPM and ImageMagick's convert scales that up eight times into a PNG.
#
# docs/sprite-before.png and docs/sprite-after.png: the first examples/*.xpm,
# scaled up eight times, before and after the road through tessenc L2 (scene
# name walk) and tessdec: every colour reduced to its palette entry, every row
# padded with transparent pixels to 64. Skipped when examples/ has no XPM.
#
# Every command is printed as it runs. Needs cmake, g++, python3 and convert.

set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

show() { printf '+ %s\n' "$*"; "$@"; }

# PNGs without the time chunks ImageMagick adds, so that remaking them from the
# same programs gives the same files.
png_options=(-define png:exclude-chunks=date,time)

show cmake --workflow --preset release >/dev/null
tessenc=build/release/encoder/tessenc
tessdec=build/release/decoder/tessdec

work=$(mktemp -d "${TMPDIR:-/tmp}/tess-swatch.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The tile file: header, one scene "palette" of one frame, one image.
# Row codes: 0 n <n indices> a literal run, 1 n a transparent run, 2 end of
# row, 3 end of image. A row of gap has no run at all: tessdec pads it to 64
# transparent pixels.
show python3 - "$work/palette.til" <<'PYTHON'
import sys

LITERAL_RUN, TRANSPARENT_RUN, END_OF_ROW, END_OF_IMAGE = 0, 1, 2, 3
CELLS_PER_ROW, CELL, GAP = 12, 4, 1

bands = [list(range(start, min(start + CELLS_PER_ROW, 256))) for start in range(0, 256, CELLS_PER_ROW)]
data = bytearray()
rows = 0
for number, band in enumerate(bands):
    if number > 0:
        data.append(END_OF_ROW)  # a row of gap between bands
        rows += 1
    for _ in range(CELL):
        for index in band:
            data += bytes([LITERAL_RUN, CELL] + [index] * CELL + [TRANSPARENT_RUN, GAP])
        data.append(END_OF_ROW)
        rows += 1
data.append(END_OF_IMAGE)
assert rows <= 255 and len(data) <= 0xFFFF and CELLS_PER_ROW * (CELL + GAP) <= 64

header = b"TIL" + bytes([2, 1, 1])  # revision 2, 1 view, 1 scene
scene = bytes([1]) + b"palette\0"   # 1 frame, the name
image = bytes([rows, len(data) & 0xFF, len(data) >> 8]) + bytes(data)
with open(sys.argv[1], "wb") as out:
    out.write(header + scene + image)
PYTHON

show "$tessdec" "$work/palette.til"
show convert "$work/palette_palette_0_0.xpm" -scale 800% "${png_options[@]}" docs/palette.png

shopt -s nullglob
sprites=(examples/*.xpm)
if ((${#sprites[@]} == 0)); then
    echo "examples/ holds no XPM: docs/sprite-before.png and docs/sprite-after.png not made"
    exit 0
fi

sprite=${sprites[0]}
name=$(basename "$sprite" .xpm)
show cp "$sprite" "$work/$name.xpm"
echo "+ printf 'walk\\n' | $tessenc L2 $work/$name.xpm"
printf 'walk\n' | "$tessenc" L2 "$work/$name.xpm"
echo
show "$tessdec" "$work/$name.til"
show convert "$sprite" -scale 800% "${png_options[@]}" docs/sprite-before.png
show convert "$work/${name}_walk_0_0.xpm" -scale 800% "${png_options[@]}" docs/sprite-after.png
